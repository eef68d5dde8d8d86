#pragma once
// What the commands of pixmend-cli share: the command registry, argument
// parsing, progress on stderr, and stored spectra as .npy files.

#include "filter/batch_runner.h"
#include "imagefile/image_file_source.h"
#include "spectral/errors.h"
#include "spectral/progress.h"
#include "spectral/store.h"
#include "spectral/transform.h"

#include <utility>

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// A wrong command line. Printed with a hint to --help; exit status 2.
class EUsage : public Exception {
public:
    using Exception::Exception;
};

// An error about one file, printed as "pixmend-cli: FILE: message"; exit
// status 1.
class EFileFailure : public Exception {
public:
    EFileFailure(std::string fileName, const std::string& message)
        : Exception(message), file_(std::move(fileName)) {}
    const std::string& File() const { return file_; }

private:
    std::string file_;
};

// The engine's messages speak the window's language; the tool speaks English.
// Returns the file a message is about (the given one, or the one the message
// names) and the English text without that name, on one line.
struct TFileMessage {
    std::string File;
    std::string Text;
};
TFileMessage EnglishMessage(const std::string& message, const std::string& fileName = {});

// Runs fn; an error of the engine becomes an EFileFailure naming the file.
template <typename F>
decltype(auto) ForFile(const std::string& fileName, F&& fn) {
    try {
        return fn();
    } catch (const EFileFailure&) {
        throw;
    } catch (const EUsage&) {
        throw;
    } catch (const Exception& e) {
        const TFileMessage m = EnglishMessage(e.what(), fileName);
        throw EFileFailure(m.File, m.Text);
    }
}

// --quiet, given anywhere on the command line: no progress on stderr and no
// report lines on stdout; errors are still printed.
void SetQuiet(bool quiet);
bool Quiet();

// --fast, given anywhere on the command line: every transform of the command
// is the fast one (close to, not bit-identical with, the exact transform).
void SetFastTransform(bool fast);
bool FastTransform();
// The transform options of the command line (--fast).
TTransformOptions CliTransformOptions();

// True when progress lines go to a terminal (and --quiet was not given).
bool ProgressWanted();

// One command of the tool. run gets the arguments after the command's name and
// returns the exit status; errors are thrown and reported by main.
struct TCliCommand {
    std::string Name;    // "spectrum", "filter", ...
    std::string Summary; // one line for the overview
    std::string Help;    // the full --help text
    int (*Run)(const std::vector<std::string>& args) = nullptr;
};

// Registers a command at start-up; define one static instance per command file.
class TCommandRegistrar {
public:
    explicit TCommandRegistrar(TCliCommand command);
};
const std::map<std::string, TCliCommand>& RegisteredCommands();

// Options of one command: "--name value" (or "--name=value") for value options,
// "--name" for flags; everything else is positional. Unknown options throw
// EUsage. "-o" is accepted as a short form of "--output".
class TArgs {
public:
    TArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
          const std::set<std::string>& flags = {});
    const std::vector<std::string>& Positional() const { return positional_; }
    std::optional<std::string> Value(const std::string& name) const;
    std::string Required(const std::string& name) const; // throws EUsage when missing
    bool Flag(const std::string& name) const { return flags_.count(name) > 0; }
    bool HelpWanted() const { return help_; }

private:
    std::vector<std::string> positional_;
    std::map<std::string, std::string> values_;
    std::set<std::string> flags_;
    bool help_ = false;
};

// Whole numbers and decimals from the command line; EUsage when malformed.
int32_t ParseIntArg(const std::string& text, const std::string& what);
double ParseDoubleArg(const std::string& text, const std::string& what);

// The report of a batch command: one complete JSON line per file (input,
// output, status, message, seconds), appended and flushed at once, so a run
// that is killed leaves every line it finished intact. No file, no report.
class TCliReport {
public:
    explicit TCliReport(const std::optional<std::string>& fileName);
    ~TCliReport();
    TCliReport(const TCliReport&) = delete;
    TCliReport& operator=(const TCliReport&) = delete;
    // Opens the file named (appending), closing none; no name, no report.
    void Open(const std::optional<std::string>& fileName);
    void Line(const TBatchFile& file, const char* status, const std::string& message,
              double seconds);

private:
    std::FILE* file_ = nullptr;
};

// What a batch command prints: each file's line as soon as it is finished,
// so a long run shows where it is, failures one line each on stderr, and on a
// terminal a progress line (files done, rate, time left). `Note` adds to a
// written file's line.
class TCliBatchLines : public IBatchEvents {
public:
    TCliBatchLines(std::string command, size_t count, TCliReport* report = nullptr)
        : command_(std::move(command)), count_(count), report_(report) {}
    ~TCliBatchLines() override { ClearProgress(); }
    void FileStarted(size_t index, size_t, const TBatchFile&) override;
    void FileDone(size_t, size_t, const TBatchFile& file, const TBitmap24&,
                  const TFilterList& applied) override;
    void FileFailed(size_t, size_t, const TBatchFile& file, const std::string& reason) override;
    void Cancelled(size_t, size_t) override {}
    bool WantsImages() const override { return false; }
    void ClearProgress();
    // Reports a failure that came after the file was written.
    void Failed(const TBatchFile& file, const std::string& reason);
    size_t LateFailures() const { return lateFailures_; }

protected:
    virtual std::string Note(const TBatchFile&, const TFilterList&) { return {}; }

private:
    void Finished();
    double Seconds(size_t index) const;
    const std::string command_;
    const size_t count_;
    TCliReport* report_;
    std::map<size_t, std::chrono::steady_clock::time_point> started_;
    size_t done_ = 0, lateFailures_ = 0;
    bool drawn_ = false;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// What apply and descreen share around the batch runner: the output folder,
// --jobs, and the options that spread one run over many processes and resume
// it: --files-from (names from a file or stdin), --shard K/N (every N-th file
// of one stable list, from K), --skip-existing and --report. Output names
// are checked over the whole list, so every shard agrees on which of two
// sources with one output name fails.
class TBatchCommand {
public:
    // The value options and flags these add to a command's own.
    static std::set<std::string> ValueOptions(std::set<std::string> own);
    static std::set<std::string> Flags(std::set<std::string> own);
    // `sources` are the names from the command line. `checkAll` sees the
    // planned files of every shard before this one's are taken; `complete`
    // says whether a file's results already exist (--skip-existing).
    TBatchCommand(const TArgs& args, std::vector<std::string> sources,
                  const std::function<void(std::vector<TBatchFile>&)>& checkAll = {},
                  const std::function<bool(const TBatchFile&)>& complete = {});
    std::vector<TBatchFile>& Files() { return files_; }
    const TBatchOptions& Options() const { return options_; }
    TCliReport* Report() { return &report_; }
    // The closing lines and the exit status: 1 when any file failed.
    int Finish(size_t failed) const;

private:
    TBatchOptions options_;
    TCliReport report_;
    std::vector<TBatchFile> files_;
    size_t skipped_ = 0;
};

// The screen finder's --strength: 0.25 to 4, 1 when it is not given.
double StrengthArg(const TArgs& args);

// Progress on stderr: one updating line on a terminal, nothing otherwise
// (nor with --quiet).
class TCliProgress final : public IProgress {
public:
    explicit TCliProgress(std::string label = {});
    ~TCliProgress() override;
    void Phase(const std::string& key) override;
    void Percent(double percent) override;
    void ClearPercent() override;
    void Finish(); // ends the updating line

private:
    void Draw();
    std::string label_, phase_;
    double percent_ = -1;
    bool tty_ = false, drawn_ = false;
};

// Stored spectra: float32, little-endian, C order, shape (3, H, W), plane 0
// first. Anything else is refused with a clear message.
void SaveStoreNpy(const TSpectrumStore& store, const std::string& fileName);
TSpectrumStore LoadStoreNpy(const std::string& fileName);
// The same from a file's bytes; fileName only names it in the error.
TSpectrumStore ReadStoreNpy(const TByteSource& file, const std::string& fileName);

// True when the name ends in ".npy", in any letter case.
bool IsNpyName(const std::string& fileName);
