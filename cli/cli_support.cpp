#include "cli/cli_support.h"

#include "imagefile/image_file.h"
#include "imagefile/image_file_bmp.h"
#include "imagefile/image_file_jpeg.h"
#include "imagefile/image_file_source.h"
#include "spectral/file_io.h"
#include "spectral/thread_team.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::map<std::string, TCliCommand>& Registry() {
    static std::map<std::string, TCliCommand> registry;
    return registry;
}
} // namespace

TCommandRegistrar::TCommandRegistrar(TCliCommand command) {
    Registry()[command.Name] = std::move(command);
}

const std::map<std::string, TCliCommand>& RegisteredCommands() {
    return Registry();
}

TArgs::TArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
             const std::set<std::string>& flags) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        if (a == "--help" || a == "-h") {
            help_ = true;
            continue;
        }
        if (a == "-o") a = "--output";
        if (a.size() > 2 && a.rfind("--", 0) == 0) {
            std::string name = a.substr(2), value;
            bool inlineValue = false;
            if (const auto eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
                inlineValue = true;
            }
            if (valueOptions.count(name)) {
                if (!inlineValue) {
                    if (i + 1 >= args.size()) throw EUsage("option --" + name + " needs a value");
                    value = args[++i];
                }
                values_[name] = value;
            } else if (flags.count(name) && !inlineValue) {
                flags_.insert(name);
            } else {
                throw EUsage("unknown option --" + name);
            }
        } else if (a.size() > 1 && a[0] == '-' && !std::isdigit(static_cast<unsigned char>(a[1]))) {
            throw EUsage("unknown option " + a);
        } else {
            positional_.push_back(a);
        }
    }
}

std::optional<std::string> TArgs::Value(const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

std::string TArgs::Required(const std::string& name) const {
    auto v = Value(name);
    if (!v) throw EUsage(name == "output" ? "missing -o OUT" : "missing --" + name);
    return *v;
}

int32_t ParseIntArg(const std::string& text, const std::string& what) {
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < std::numeric_limits<int32_t>::min() ||
        v > std::numeric_limits<int32_t>::max())
        throw EUsage(what + ": '" + text + "' is not a whole number");
    return int32_t(v);
}

double ParseDoubleArg(const std::string& text, const std::string& what) {
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(v))
        throw EUsage(what + ": '" + text + "' is not a number");
    return v;
}

namespace {
bool quiet = false;

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.rfind(prefix, 0) == 0;
}

std::string LowerExtension(const std::string& fileName) {
    const auto slash = fileName.find_last_of('/');
    const auto dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = fileName.substr(dot + 1);
    for (auto& ch : ext) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return ext;
}

// Why a file cannot be opened, as far as the file system tells.
std::string OpenReason(const std::string& fileName) {
    std::error_code ec;
    const auto status = std::filesystem::status(fileName, ec);
    if (!std::filesystem::exists(status)) return "no such file";
    if (std::filesystem::is_directory(status)) return "is a folder";
    if (!std::filesystem::is_regular_file(status)) return "not a regular file";
    if (::access(fileName.c_str(), R_OK) != 0) return "permission denied";
    return "cannot be read";
}

std::string CreateReason(const std::string& fileName) {
    const auto slash = fileName.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : fileName.substr(0, slash + 1);
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return "the folder does not exist";
    if (std::filesystem::is_directory(fileName, ec)) return "is a folder";
    if (::access(folder.c_str(), W_OK) != 0) return "permission denied";
    return "the image does not fit the format";
}
} // namespace

namespace {
// What only the tool can add to a message: why a file cannot be opened or
// written, and what kind of picture the file's name promised.
std::vector<std::string> ToolArgs(const TMessage& message, const std::string& fileName) {
    switch (message.Id) {
    case TMessageId::CannotOpen:
        return {OpenReason(message.Args.at(0))};
    case TMessageId::CannotCreate:
        return {CreateReason(message.Args.at(0))};
    case TMessageId::CodecError:
        return {JpegMessageText(std::atoi(message.Args.at(0).c_str()))};
    case TMessageId::InvalidPicture:
    case TMessageId::InvalidPictureSaid: {
        const std::string ext = LowerExtension(fileName);
        return {ext == "png" ? "PNG image"
                : ext == "tif" || ext == "tiff"
                    ? "TIFF image (damaged, or a compression we cannot read)"
                    : "bitmap"};
    }
    default:
        return {};
    }
}

// The file a message is about: the innermost one that names its own.
const std::string* NamedFile(const TMessage& message) {
    if (message.Cause)
        if (const std::string* inner = NamedFile(*message.Cause)) return inner;
    return MessageNamesFile(message.Id) ? &message.Args.at(0) : nullptr;
}
} // namespace

TFileMessage ToolMessage(const TMessage& message, const std::string& fileName) {
    const std::string* named = NamedFile(message);
    const std::string file = named ? *named : fileName;
    std::string text = RenderMessage(message, TMessageForm::Tool,
                                     [&](const TMessage& m) { return ToolArgs(m, fileName); });
    for (auto& ch : text)
        if (ch == '\n' || ch == '\r') ch = ' ';
    // Messages that start with the file's own name already say which file.
    if (!file.empty() && StartsWith(text, file + ": ")) text = text.substr(file.size() + 2);
    return {file, text};
}

void SetQuiet(bool q) {
    quiet = q;
}

namespace {
bool fastTransform = false;
} // namespace

void SetFastTransform(bool fast) {
    fastTransform = fast;
}
bool FastTransform() {
    return fastTransform;
}

TTransformOptions CliTransformOptions() {
    TTransformOptions options;
    options.Fast = fastTransform;
    return options;
}
bool Quiet() {
    return quiet;
}
bool ProgressWanted() {
    return !quiet && ::isatty(2) == 1;
}

TCliProgress::TCliProgress(std::string label) : label_(std::move(label)), tty_(ProgressWanted()) {}

TCliProgress::~TCliProgress() {
    Finish();
}

void TCliProgress::Phase(const std::string& key) {
    phase_ = key;
    Draw();
}

void TCliProgress::Percent(double percent) {
    percent_ = percent;
    Draw();
}

void TCliProgress::ClearPercent() {
    percent_ = -1;
    Draw();
}

void TCliProgress::Draw() {
    if (!tty_) return;
    std::string line = label_.empty() ? phase_ : label_ + ": " + phase_;
    if (percent_ >= 0) {
        char buf[32];
        std::snprintf(buf, sizeof buf, " %5.1f%%", percent_);
        line += buf;
    }
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void TCliProgress::Finish() {
    if (drawn_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        drawn_ = false;
    }
}

bool IsNpyName(const std::string& fileName) {
    if (fileName.size() < 4) return false;
    std::string ext = fileName.substr(fileName.size() - 4);
    for (auto& ch : ext) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return ext == ".npy";
}

void SaveStoreNpy(const TSpectrumStore& store, const std::string& fileName) {
    std::string header = "{'descr': '<f4', 'fortran_order': False, 'shape': (3, " +
                         std::to_string(store.Rows) + ", " + std::to_string(store.Cols) + "), }";
    // Magic (6) + version (2) + length (2) + header + newline, padded to 64.
    const size_t unpadded = 10 + header.size() + 1;
    header.append((64 - unpadded % 64) % 64, ' ');
    header.push_back('\n');
    std::string out = std::string("\x93NUMPY\x01\x00", 8);
    out.push_back(char(header.size() & 0xff));
    out.push_back(char(header.size() >> 8));
    out += header;
    // The planes go out a few rows at a time: a page-sized spectrum is close
    // to a gigabyte, and a second copy of it would double the peak memory.
    static_assert(std::numeric_limits<float>::is_iec559);
    TAtomicFileWriter file(fileName);
    file.Write(out);
    const size_t cells = store.CellCount();
    const size_t slice = size_t(1) << 22; // bytes per write
    for (const auto& plane : store.Planes) {
        const char* bytes = reinterpret_cast<const char*>(plane.data());
        for (size_t at = 0; at < cells * sizeof(float); at += slice)
            file.Write(std::string_view(bytes + at, std::min(slice, cells * sizeof(float) - at)));
    }
    file.Commit();
}

namespace {
[[noreturn]] void BadNpy(const std::string& fileName, const std::string& why) {
    throw Exception(fileName + ": not a stored spectrum (" + why +
                    "); expected float32 little-endian, C order, shape (3, H, W)");
}

std::string HeaderValue(const std::string& header, const std::string& key) {
    const auto k = header.find("'" + key + "'");
    if (k == std::string::npos) return {};
    auto colon = header.find(':', k);
    if (colon == std::string::npos) return {};
    ++colon;
    while (colon < header.size() && header[colon] == ' ') ++colon;
    if (colon >= header.size()) return {};
    if (header[colon] == '(') {
        const auto close = header.find(')', colon);
        return close == std::string::npos ? std::string() : header.substr(colon, close - colon + 1);
    }
    if (header[colon] == '\'') {
        const auto close = header.find('\'', colon + 1);
        return close == std::string::npos ? std::string()
                                          : header.substr(colon + 1, close - colon - 1);
    }
    auto end = header.find_first_of(",}", colon);
    return header.substr(colon, end == std::string::npos ? std::string::npos : end - colon);
}
} // namespace

TSpectrumStore LoadStoreNpy(const std::string& fileName) {
    // Read piece by piece straight into the planes: the whole file first
    // would be a second copy of a store that may be close to a gigabyte.
    const TFileSource file(fileName);
    return ReadStoreNpy(file, fileName);
}

TSpectrumStore ReadStoreNpy(const TByteSource& file, const std::string& fileName) {
    const uint64_t fileSize = file.Size();
    unsigned char lead[12] = {};
    if (fileSize < 10 || !file.ReadAt(0, lead, 10) || std::memcmp(lead, "\x93NUMPY", 6) != 0)
        BadNpy(fileName, "no .npy header");
    const int major = lead[6];
    size_t headerLen, headerStart;
    if (major == 1) {
        headerLen = size_t(lead[8]) | size_t(lead[9]) << 8;
        headerStart = 10;
    } else if (major == 2 || major == 3) {
        if (fileSize < 12 || !file.ReadAt(0, lead, 12)) BadNpy(fileName, "truncated header");
        headerLen = 0;
        for (int i = 3; i >= 0; --i) headerLen = headerLen << 8 | lead[8 + i];
        headerStart = 12;
    } else {
        BadNpy(fileName, "unknown .npy version");
    }
    if (headerStart + headerLen > fileSize) BadNpy(fileName, "truncated header");
    std::string header(headerLen, '\0');
    if (!file.ReadAt(headerStart, header.data(), headerLen)) BadNpy(fileName, "truncated header");
    const std::string descr = HeaderValue(header, "descr");
    if (descr != "<f4") BadNpy(fileName, "element type '" + descr + "'");
    const std::string fortran = HeaderValue(header, "fortran_order");
    if (fortran.find("False") == std::string::npos) BadNpy(fileName, "not C order");
    const std::string shape = HeaderValue(header, "shape");
    long long dims[3];
    int count = 0;
    {
        const char* p = shape.c_str();
        while (*p && count < 4) {
            while (*p && !std::isdigit(static_cast<unsigned char>(*p)) && *p != '-') ++p;
            if (!*p) break;
            char* end;
            const long long v = std::strtoll(p, &end, 10);
            if (count < 3) dims[count] = v;
            ++count;
            p = end;
        }
    }
    if (count != 3 || dims[0] != 3) BadNpy(fileName, "shape " + shape);
    if (dims[1] <= 0 || dims[2] <= 0 || dims[1] > std::numeric_limits<int32_t>::max() ||
        dims[2] > std::numeric_limits<int32_t>::max())
        BadNpy(fileName, "shape " + shape);
    const uint64_t cells = uint64_t(dims[1]) * uint64_t(dims[2]);
    const uint64_t body = headerStart + headerLen;
    if (cells > (fileSize - body) / 12 || fileSize - body != cells * 12)
        BadNpy(fileName, "data size does not match shape " + shape);
    if (cells > kMaxImagePixels) BadNpy(fileName, "shape " + shape + " is larger than any image");
    TSpectrumStore store;
    store.Resize(int32_t(dims[2]), int32_t(dims[1]));
    for (int p = 0; p < 3; ++p)
        if (!file.ReadAt(body + uint64_t(p) * cells * 4, store.Planes[p].data(), size_t(cells) * 4))
            BadNpy(fileName, "data size does not match shape " + shape);
    return store;
}

double StrengthArg(const TArgs& args) {
    const auto text = args.Value("strength");
    if (!text) return 1.0;
    const double strength = ParseDoubleArg(*text, "--strength");
    if (!(strength >= 0.25 && strength <= 4.0))
        throw EUsage("--strength: must lie between 0.25 and 4");
    return strength;
}

namespace {
// The inputs of a command, by the file each name leads to.
class TInputIndex {
public:
    explicit TInputIndex(const std::vector<std::string>& inputs) {
        for (const std::string& in : inputs) {
            struct stat st {};
            if (::stat(in.c_str(), &st) == 0) byNode_.emplace(std::pair(st.st_dev, st.st_ino), in);
            byPath_.emplace(Resolved(in), in);
        }
    }
    // Throws when `output` leads to one of the inputs; `advice` ends the message.
    void Refuse(const std::string& output, const std::string& advice) const {
        const std::string* input = nullptr;
        struct stat st {};
        if (::stat(output.c_str(), &st) == 0) {
            const auto it = byNode_.find(std::pair(st.st_dev, st.st_ino));
            if (it != byNode_.end()) input = &it->second;
        }
        if (!input) {
            const auto it = byPath_.find(Resolved(output));
            if (it != byPath_.end()) input = &it->second;
        }
        if (!input) return;
        throw EFileFailure(
            output, (*input == output ? std::string("is an input and would be "
                                                    "replaced by the result")
                                      : "would replace the input " + *input + " (the same file)") +
                        "; " + advice);
    }

private:
    static std::string Resolved(const std::string& name) {
        std::error_code ec;
        auto path = std::filesystem::weakly_canonical(std::filesystem::absolute(name, ec), ec);
        return ec ? name : path.string();
    }
    std::map<std::pair<dev_t, ino_t>, std::string> byNode_;
    std::map<std::string, std::string> byPath_;
};
} // namespace

void RefuseReplacingInput(const std::string& output, const std::vector<std::string>& inputs) {
    TInputIndex(inputs).Refuse(output, "write the result under another name");
}

namespace {
// The length of the UTF-8 sequence starting at text[i], or 0 when the bytes
// there are not one (overlong forms and surrogates included).
size_t Utf8Length(const std::string& text, size_t i) {
    const auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(i);
    if (lead < 0x80) return 1;
    size_t n;
    uint32_t cp;
    if (lead >= 0xc2 && lead <= 0xdf) {
        n = 2;
        cp = lead & 0x1fu;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        n = 3;
        cp = lead & 0x0fu;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        n = 4;
        cp = lead & 0x07u;
    } else {
        return 0;
    }
    if (i + n > text.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((at(i + k) & 0xc0) != 0x80) return 0;
        cp = cp << 6 | (at(i + k) & 0x3fu);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xd800 && cp <= 0xdfff))) ||
        (n == 4 && (cp < 0x10000 || cp > 0x10ffff)))
        return 0;
    return n;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char ch : bytes) {
        const auto u = static_cast<unsigned char>(ch);
        out += digits[u >> 4];
        out += digits[u & 15];
    }
    return out;
}
} // namespace

std::string JsonString(const std::string& text, bool* replaced) {
    if (replaced) *replaced = false;
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const char ch = text[i];
        const auto u = static_cast<unsigned char>(ch);
        const size_t n = Utf8Length(text, i);
        if (n == 0) {
            out += "\xef\xbf\xbd"; // U+FFFD
            if (replaced) *replaced = true;
            ++i;
            continue;
        }
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    return out + "\"";
}

TCliReport::TCliReport(const std::optional<std::string>& fileName, std::atomic<bool>* stop)
    : stop_(stop) {
    Open(fileName);
}

void TCliReport::Open(const std::optional<std::string>& fileName) {
    if (!fileName) return;
    if (fd_ >= 0) Close();
    name_ = *fileName;
    fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        const TFileMessage m = ToolMessage(CannotCreateMessage(name_));
        throw EFileFailure(m.File, m.Text);
    }
}

TCliReport::~TCliReport() {
    Close();
}

void TCliReport::Fail(int error) {
    if (failed_) return;
    failed_ = true;
    std::fprintf(stderr,
                 "pixmend-cli: %s: the report cannot be written (%s); no further file is "
                 "started\n",
                 name_.c_str(), std::strerror(error));
    if (stop_) *stop_ = true;
}

bool TCliReport::Close() {
    if (fd_ < 0) return !failed_;
    if (::close(fd_) != 0) Fail(errno);
    fd_ = -1;
    return !failed_;
}

void TCliReport::Line(const TBatchFile& file, const char* status, const std::string& message,
                      double seconds) {
    if (fd_ < 0 || failed_) return;
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", seconds);
    bool inputOdd = false, outputOdd = false;
    std::string line = "{\"input\": " + JsonString(file.Source, &inputOdd) +
                       ", \"output\": " + JsonString(file.Target, &outputOdd) + ", \"status\": \"" +
                       status + "\", \"message\": " + JsonString(message) +
                       ", \"seconds\": " + time;
    if (inputOdd) line += ", \"input_hex\": \"" + Hex(file.Source) + "\"";
    if (outputOdd) line += ", \"output_hex\": \"" + Hex(file.Target) + "\"";
    line += "}\n";
    // One write: with O_APPEND the kernel puts the whole line at the end at
    // once, so lines of processes sharing the report never mix. A short write
    // (a full disk) would leave half a line, which is a failed report too.
    const ssize_t written = ::write(fd_, line.data(), line.size());
    if (written < 0)
        Fail(errno);
    else if (size_t(written) != line.size())
        Fail(ENOSPC);
}

TCliBatchLines::TCliBatchLines(std::string command, TBatchCommand& batch)
    : command_(std::move(command)), count_(batch.Files().size()), batch_(batch) {
    if (::isatty(2) == 1) return;
    double interval = 60;
    if (const char* every = std::getenv("PIXMEND_PROGRESS_SECONDS")) interval = std::atof(every);
    if (!(interval > 0)) return;
    heartbeat_ = std::thread([this, interval] {
        std::unique_lock<std::mutex> lock(heartbeatMutex_);
        while (!heartbeatWake_.wait_for(lock, std::chrono::duration<double>(interval),
                                        [this] { return ending_; }))
            Heartbeat();
    });
}

TCliBatchLines::~TCliBatchLines() {
    {
        const std::lock_guard<std::mutex> lock(heartbeatMutex_);
        ending_ = true;
    }
    heartbeatWake_.notify_all();
    if (heartbeat_.joinable()) heartbeat_.join();
    ClearProgress();
}

// Called with heartbeatMutex_ held.
void TCliBatchLines::Heartbeat() {
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - start_).count();
    std::string line = "pixmend-cli " + command_ + ": " + std::to_string(done_) + " of " +
                       std::to_string(count_) + " files after " +
                       std::to_string(int64_t(seconds) / 60) + " min";
    for (const auto& [index, since] : started_) {
        const auto running = int64_t(std::chrono::duration<double>(now - since).count());
        char buf[64];
        std::snprintf(buf, sizeof buf, "%lld:%02lld", static_cast<long long>(running / 60),
                      static_cast<long long>(running % 60));
        line += "; " + batch_.Files()[index].Source + " for " + buf;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

void TCliBatchLines::FileStarted(size_t index, size_t, const TBatchFile&) {
    const std::lock_guard<std::mutex> lock(heartbeatMutex_);
    started_[index] = std::chrono::steady_clock::now();
}

double TCliBatchLines::Seconds(size_t index) const {
    const auto it = started_.find(index);
    if (it == started_.end()) return 0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - it->second).count();
}

void TCliBatchLines::FileDone(size_t index, size_t count, const TBatchFile& file,
                              const TBitmap24& image, const TFilterList& applied) {
    ClearProgress();
    // The note may write the file's further outputs (descreen saves the
    // filter there), so it is asked for even when nothing is printed, and
    // the report line waits for it.
    std::string note;
    std::optional<TMessage> failure;
    try {
        note = Note(file, applied);
    } catch (const std::exception& e) {
        failure = MessageOf(e);
    }
    if (!failure)
        if (std::string missing = batch_.Incomplete(file); !missing.empty())
            failure = PlainMessage(std::move(missing));
    if (failure) {
        ++lateFailures_;
        FileFailed(index, count, file, *failure);
        return;
    }
    (void)image;
    batch_.Report()->Line(file, "done", "", Seconds(index));
    if (!Quiet()) {
        std::printf("%s -> %s%s\n", file.Source.c_str(), file.Target.c_str(),
                    note.empty() ? "" : (" (" + note + ")").c_str());
    }
    std::fflush(stdout);
    Finished(index);
}

void TCliBatchLines::FileFailed(size_t index, size_t, const TBatchFile& file,
                                const TMessage& reason) {
    ClearProgress();
    const TFileMessage m = ToolMessage(reason, file.Source);
    batch_.Report()->Line(file, "failed", m.File == file.Source ? m.Text : m.File + ": " + m.Text,
                          Seconds(index));
    std::fprintf(stderr, "pixmend-cli: %s: %s\n", m.File.c_str(), m.Text.c_str());
    Finished(index);
}

void TCliBatchLines::ClearProgress() {
    if (!drawn_) return;
    std::fprintf(stderr, "\r\033[K");
    drawn_ = false;
}

void TCliBatchLines::Finished(size_t index) {
    {
        const std::lock_guard<std::mutex> lock(heartbeatMutex_);
        started_.erase(index);
        ++done_;
    }
    if (!ProgressWanted()) return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? double(done_) / seconds : 0;
    const double left = rate > 0 ? double(count_ - done_) / rate : 0;
    std::fprintf(stderr, "\r\033[K%s: %zu of %zu files, %.2f files/s, %d:%02d left",
                 command_.c_str(), done_, count_, rate, int(left) / 60, int(left) % 60);
    std::fflush(stderr);
    drawn_ = true;
}

namespace {

// "K/N": this process takes the files whose place in the list, counted from
// 0, leaves K when divided by N.
std::pair<size_t, size_t> ParseShard(const std::string& text) {
    const auto slash = text.find('/');
    const std::string bad = "--shard: '" + text + "' is not K/N with 0 <= K < N";
    if (slash == std::string::npos) throw EUsage(bad);
    int32_t k = 0, n = 0;
    try {
        k = ParseIntArg(text.substr(0, slash), "--shard");
        n = ParseIntArg(text.substr(slash + 1), "--shard");
    } catch (const EUsage&) {
        throw EUsage(bad);
    }
    if (n < 1 || k < 0 || k >= n) throw EUsage(bad);
    return {size_t(k), size_t(n)};
}

// One name per line; empty lines are skipped, a CR before the line end goes.
std::vector<std::string> ReadFileList(const std::string& list) {
    std::ifstream file;
    if (list != "-") {
        file.open(list);
        if (!file) throw EFileFailure(list, "cannot open the file list");
    }
    std::istream& in = list == "-" ? std::cin : file;
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) names.push_back(line);
    }
    if (in.bad()) throw EFileFailure(list, "cannot read the file list");
    return names;
}

} // namespace

std::set<std::string> TBatchCommand::ValueOptions(std::set<std::string> own) {
    own.insert(
        {"output", "jobs", "files-from", "shard", "report", "suffix", "max-seconds-per-file"});
    return own;
}

std::set<std::string> TBatchCommand::Flags(std::set<std::string> own) {
    own.insert({"skip-existing", "allow-empty"});
    return own;
}

TBatchCommand::TBatchCommand(const TArgs& args, std::vector<std::string> sources,
                             const std::vector<std::string>& otherInputs, TOutputs outputs,
                             const std::function<void(std::vector<TBatchFile>&)>& checkAll)
    : report_(std::nullopt, &stop_), outputs_(std::move(outputs)) {
    const auto listName = args.Value("files-from");
    if (sources.empty() && !listName)
        throw EUsage("expected at least one IMAGE (or --files-from LIST)");
    std::pair<size_t, size_t> shard{0, 1};
    if (auto sh = args.Value("shard")) shard = ParseShard(*sh);
    const std::string suffix = args.Value("suffix").value_or("");
    if (args.Value("suffix") && (suffix.empty() || suffix.find('/') != std::string::npos))
        throw EUsage("--suffix: '" + suffix + "' must be a non-empty part of a file name");
    // With a suffix and no folder the results go beside their inputs.
    const auto output = args.Value("output");
    if (!output && suffix.empty()) throw EUsage("missing -o OUT");
    const std::string folder = output.value_or("");
    options_.Jobs = unsigned(AvailableProcessors());
    options_.FastTransform = FastTransform();
    options_.Cancel = &stop_;
    maxSeconds_ = ::isatty(2) == 1 ? 0 : 3600;
    if (auto limit = args.Value("max-seconds-per-file")) {
        maxSeconds_ = ParseDoubleArg(*limit, "--max-seconds-per-file");
        if (maxSeconds_ < 0) throw EUsage("--max-seconds-per-file: must be 0 (no limit) or more");
    }
    if (auto j = args.Value("jobs")) {
        const int32_t n = ParseIntArg(*j, "--jobs");
        if (n < 1) throw EUsage("--jobs: needs at least 1");
        options_.Jobs = unsigned(n);
    }
    std::error_code ec;
    if (output && !std::filesystem::is_directory(folder, ec))
        throw EFileFailure(folder, std::filesystem::exists(folder, ec)
                                       ? "is a file, not a folder (-o names the folder the "
                                         "results go into)"
                                       : "the output folder does not exist");
    if (listName) {
        const std::vector<std::string> listed = ReadFileList(*listName);
        // A list that names nothing is most often a step before that failed
        // (a broken pipe, an empty search): success would hide it.
        if (listed.empty() && sources.empty() && !args.Flag("allow-empty"))
            throw EFileFailure(*listName == "-" ? "standard input" : *listName,
                               "the file list names no file (give --allow-empty when an empty "
                               "list is expected)");
        sources.insert(sources.end(), listed.begin(), listed.end());
    }
    std::vector<TBatchFile> all = PlanBatchFiles(sources, folder, suffix, !output);
    if (checkAll) checkAll(all);
    // No output may replace an input, in any shard; this is checked before
    // any work, and before the report is opened.
    {
        std::vector<std::string> inputs = otherInputs;
        inputs.insert(inputs.end(), sources.begin(), sources.end());
        const TInputIndex index(inputs);
        const std::string advice = "write into another folder, or beside the inputs under "
                                   "another name with --suffix -clean";
        if (const auto report = args.Value("report")) index.Refuse(*report, advice);
        for (const TBatchFile& file : all)
            if (file.Error.empty())
                for (const std::string& out : Outputs(file)) index.Refuse(out, advice);
    }
    report_.Open(args.Value("report"));
    const bool skipExisting = args.Flag("skip-existing");
    for (size_t i = shard.first; i < all.size(); i += shard.second) {
        TBatchFile& file = all[i];
        if (!file.DuplicateOf.empty()) {
            report_.Line(file, "duplicate", "listed before as " + file.DuplicateOf, 0);
            if (!Quiet())
                std::printf("%s: listed before as %s, processed once\n", file.Source.c_str(),
                            file.DuplicateOf.c_str());
            ++duplicates_;
            continue;
        }
        if (skipExisting && file.Error.empty() && Incomplete(file).empty()) {
            report_.Line(file, "skipped", "the output exists", 0);
            ++skipped_;
            continue;
        }
        files_.push_back(std::move(file));
    }
}

std::vector<std::string> TBatchCommand::Outputs(const TBatchFile& file) const {
    return outputs_ ? outputs_(file) : std::vector<std::string>{file.Target};
}

std::string TBatchCommand::Incomplete(const TBatchFile& file) const {
    for (const std::string& out : Outputs(file)) {
        // Outputs are renamed into place once written, so a regular file is
        // complete (a filter without entries is an empty one); a folder or a
        // device in its place is not.
        std::error_code ec;
        const auto status = std::filesystem::status(out, ec);
        if (!std::filesystem::exists(status)) return out + " was not written";
        if (!std::filesystem::is_regular_file(status)) return out + " is not a regular file";
    }
    return {};
}

int TBatchCommand::Finish(size_t failed) {
    const bool reported = report_.Close();
    if (failed > 0) {
        std::fprintf(stderr, "pixmend-cli: %zu of %zu files failed\n", failed, files_.size());
        return 1;
    }
    if (!reported) return 1;
    if (skipped_ > 0 && !Quiet()) std::printf("%zu files skipped: their outputs exist\n", skipped_);
    return 0;
}

void NoteImageInfo(const std::string& fileName, const TImageInfo& info) {
    if (info.AlphaComposited && !Quiet())
        std::fprintf(stderr,
                     "pixmend-cli: %s: note: transparent areas were composited onto white (the "
                     "result holds no transparency)\n",
                     fileName.c_str());
}

TImageAccess CliImageAccess() {
    TImageAccess access = ImageFileAccess();
    access.Load = [load = access.Load](const std::string& fileName, TSpectrumStore& store) {
        const TImageInfo info = load(fileName, store);
        NoteImageInfo(fileName, info);
        return info;
    };
    return access;
}

namespace {
std::string CostText(int32_t cols, int32_t rows) {
    char work[32];
    std::snprintf(work, sizeof work, "%.1e", 2 * ExactTransformWork(cols, rows));
    return "about " + std::string(work) + " operations for " + std::to_string(cols) + " x " +
           std::to_string(rows) + " pixels, with 2W-1 = " + FactorisationText(2 * cols - 1) +
           " and 2H-1 = " + FactorisationText(2 * rows - 1);
}

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}
} // namespace

TFileWork TBatchCommand::Bounded(TFileWork work) const {
    const double limit = maxSeconds_;
    if (!(limit > 0)) return work;
    return [work, limit](TSpectrumStore& store, const TTransformOptions& options) {
        const std::string advice =
            "; --fast transforms it in a fraction of the time (close to, not bit-identical "
            "with, the exact transform)";
        if (!options.Fast &&
            2 * ExactTransformWork(store.Cols, store.Rows) / kFastestWorkPerSecond > limit)
            throw Exception("the exact transform would take longer than the " + SecondsText(limit) +
                            " allowed per file (--max-seconds-per-file): " +
                            CostText(store.Cols, store.Rows) + advice);
        const int32_t cols = store.Cols, rows = store.Rows;
        std::atomic<bool> expired{false};
        std::mutex mutex;
        std::condition_variable wake;
        bool finished = false;
        std::thread watch([&] {
            std::unique_lock<std::mutex> lock(mutex);
            if (!wake.wait_for(lock, std::chrono::duration<double>(limit),
                               [&] { return finished; }))
                expired = true;
        });
        const auto stop = [&] {
            {
                const std::lock_guard<std::mutex> lock(mutex);
                finished = true;
            }
            wake.notify_all();
            watch.join();
        };
        TTransformOptions timed = options;
        timed.Cancel = &expired;
        try {
            TFilterList applied = work(store, timed);
            stop();
            return applied;
        } catch (const ETransformCancelled&) {
            stop();
            throw Exception("stopped after the " + SecondsText(limit) +
                            " allowed per file (--max-seconds-per-file); its exact transform "
                            "costs " +
                            CostText(cols, rows) + advice);
        } catch (...) {
            stop();
            throw;
        }
    };
}
