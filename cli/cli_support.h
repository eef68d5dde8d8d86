#pragma once
// What the commands of pixmend-cli share: the command registry, argument
// parsing, progress on stderr, and stored spectra as .npy files.

#include "filter/batch_runner.h"
#include "filter/filter_list.h"
#include "imagefile/image_file_source.h"
#include "spectral/errors.h"
#include "spectral/progress.h"
#include "spectral/store.h"
#include "spectral/transform.h"

#include <utility>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
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

// The tool speaks its own English. Returns the file a message is about (the
// one the message names, or else the given one) and the tool's wording
// without that name, on one line.
struct TFileMessage {
    std::string File;
    std::string Text;
};
TFileMessage ToolMessage(const TMessage& message, const std::string& fileName = {});

// Runs fn; an error of the engine becomes an EFileFailure naming the file.
template <typename F>
decltype(auto) ForFile(const std::string& fileName, F&& fn) {
    try {
        return fn();
    } catch (const EFileFailure&) {
        throw;
    } catch (const EUsage&) {
        throw;
    } catch (const EFilterLineError& e) {
        throw EFileFailure(e.File(), "line " + std::to_string(e.Line()) + ": " + e.EnglishReason());
    } catch (const Exception& e) {
        const TFileMessage m = ToolMessage(e.Message(), fileName);
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

// Refuses an output that would replace one of the inputs: the same name, or
// the same file once symbolic and hard links are followed. Throws
// EFileFailure naming the output, with the input it would replace.
void RefuseReplacingInput(const std::string& output, const std::vector<std::string>& inputs);

// Text as a JSON string. Bytes that are not UTF-8 (a file name is any bytes)
// become U+FFFD, so the line stays valid JSON; `replaced` says whether that
// happened.
std::string JsonString(const std::string& text, bool* replaced = nullptr);

// The report of a batch command: one complete JSON line per file (input,
// output, status, message, seconds), appended at once. Each line is one
// write on a descriptor opened for appending, so processes sharing one
// report never interleave their lines, whatever their length, and a run that
// is killed leaves every line it finished intact. A name that is not UTF-8
// is written with U+FFFD in place of its stray bytes, and its exact bytes in
// hexadecimal as "input_hex" or "output_hex". A line that cannot be written
// fails the run: it is said once on stderr and `stop`, when given, is set so
// that no further file starts. No file, no report.
class TCliReport {
public:
    explicit TCliReport(const std::optional<std::string>& fileName,
                        std::atomic<bool>* stop = nullptr);
    ~TCliReport();
    TCliReport(const TCliReport&) = delete;
    TCliReport& operator=(const TCliReport&) = delete;
    // Opens the file named (appending); no name, no report.
    void Open(const std::optional<std::string>& fileName);
    void Line(const TBatchFile& file, const char* status, const std::string& message,
              double seconds);
    // Closes the file; false (and said on stderr) when a line or the close failed.
    bool Close();
    bool Failed() const { return failed_; }

private:
    void Fail(int error);
    std::string name_;
    int fd_ = -1;
    bool failed_ = false;
    std::atomic<bool>* stop_ = nullptr;
};

class TBatchCommand;

// What a batch command prints: each file's line as soon as it is finished,
// so a long run shows where it is, failures one line each on stderr, and on a
// terminal a progress line (files done, rate, time left); without one a line
// of the same at least once a minute. A file is reported done only once every
// output it owes is a complete regular file. `Note` adds to a written file's
// line and may write the file's further outputs; an error it throws fails the
// file.
class TCliBatchLines : public IBatchEvents {
public:
    TCliBatchLines(std::string command, TBatchCommand& batch);
    ~TCliBatchLines() override;
    void FileStarted(size_t index, size_t, const TBatchFile&) override;
    void FileDone(size_t, size_t, const TBatchFile& file, const TBitmap24&,
                  const TFilterList& applied) override;
    void FileFailed(size_t, size_t, const TBatchFile& file, const TMessage& reason) override;
    void Cancelled(size_t, size_t) override {}
    bool WantsImages() const override { return false; }
    void ClearProgress();
    // Files that were written but then failed (an output missing).
    size_t LateFailures() const { return lateFailures_; }

protected:
    virtual std::string Note(const TBatchFile&, const TFilterList&) { return {}; }

private:
    void Finished(size_t index);
    void Heartbeat();
    double Seconds(size_t index) const;
    const std::string command_;
    const size_t count_;
    TBatchCommand& batch_;
    std::map<size_t, std::chrono::steady_clock::time_point> started_;
    size_t done_ = 0, lateFailures_ = 0;
    bool drawn_ = false;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    // Without a terminal: a line on stderr at least once a minute.
    std::mutex heartbeatMutex_;
    std::condition_variable heartbeatWake_;
    bool ending_ = false;
    std::thread heartbeat_;
};

// What apply and descreen share around the batch runner: the output folder
// (or --suffix beside the inputs), --jobs, and the options that spread one
// run over many processes and resume it: --files-from (names from a file or
// stdin; an empty list is an error unless --allow-empty), --shard K/N (every
// N-th file of one stable list, from K), --skip-existing and --report.
// Output names are checked over the whole list, so every shard agrees on
// which of two sources with one output name fails, and no output may
// replace an input. A file listed twice is processed once and reported as a
// duplicate.
class TBatchCommand {
public:
    // The outputs a file owes: its result, and whatever the command writes
    // beside it.
    using TOutputs = std::function<std::vector<std::string>(const TBatchFile&)>;
    // The value options and flags these add to a command's own.
    static std::set<std::string> ValueOptions(std::set<std::string> own);
    static std::set<std::string> Flags(std::set<std::string> own);
    // `sources` are the names from the command line, `otherInputs` the files
    // the command reads besides them (apply's filter). `checkAll` sees the
    // planned files of every shard before this one's are taken.
    TBatchCommand(const TArgs& args, std::vector<std::string> sources,
                  const std::vector<std::string>& otherInputs = {}, TOutputs outputs = {},
                  const std::function<void(std::vector<TBatchFile>&)>& checkAll = {});
    std::vector<TBatchFile>& Files() { return files_; }
    const TBatchOptions& Options() const { return options_; }
    TCliReport* Report() { return &report_; }
    std::vector<std::string> Outputs(const TBatchFile& file) const;
    // Why the file is not complete: the first output it owes that is not a
    // regular file; empty when all are.
    std::string Incomplete(const TBatchFile& file) const;
    // The closing lines and the exit status: 1 when any file failed or the
    // report could not be written.
    int Finish(size_t failed);
    // Complex multiply-adds a second that no machine we run on exceeds for
    // the exact transform: a file whose work needs longer than its limit
    // even at this rate cannot make it.
    static constexpr double kFastestWorkPerSecond = 1e11;
    // The work bounded by --max-seconds-per-file (by default an hour when
    // there is no terminal, no limit on one): an exact transform whose cost,
    // from the factorisation of its lengths, could not be done in time even
    // on a fast machine fails at once; a file still working at the limit is
    // stopped at the transform's next block of rows. Either fails that file
    // with the reason and the advice to use --fast; the run goes on.
    TFileWork Bounded(TFileWork work) const;

private:
    std::atomic<bool> stop_{false};
    TBatchOptions options_;
    TCliReport report_;
    TOutputs outputs_;
    std::vector<TBatchFile> files_;
    size_t skipped_ = 0, duplicates_ = 0;
    double maxSeconds_ = 0;
};

// The image files as the tool reads and writes them: as ImageFileAccess, and
// a picture whose transparency was composited onto white says so in one line
// on stderr (unless --quiet).
TImageAccess CliImageAccess();
// That line, for the commands that load a picture themselves.
void NoteImageInfo(const std::string& fileName, const TImageInfo& info);

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
