// filter show / filter add: reading filter files and writing them from
// scripts, entry by entry, as the window's commands would record them.
#include "cli/cli_support.h"

#include "filter/descreen.h"
#include "filter/filter_list.h"
#include "filter/mark.h"
#include "imagefile/image_file.h"
#include "spectral/file_io.h"
#include "spectral/store_fill.h"

#include <charconv>
#include <cstdio>
#include <filesystem>

namespace {

constexpr int32_t kMaxResizeArg = 1000000;

const char* const kModeNames[] = {"percent", "width", "height", "max-width", "max-height"};

int32_t ModeNamed(const std::string& name) {
    for (int32_t m = 0; m < 5; ++m)
        if (name == kModeNames[m]) return m;
    throw EUsage("unknown resize mode '" + name +
                 "' (percent, width, height, max-width, max-height)");
}

// What applying does with an entry of this kind.
std::string KindText(int32_t typ) {
    if (typ == kFilterRectangle) return "rectangle";
    if (typ == kFilterEllipse) return "ellipse";
    if (IsSmoothingKind(typ)) return "ellipse (kind " + std::to_string(typ) + ")";
    if (typ >= kFilterResizeBase && typ <= kFilterResizeLast)
        return std::string("resize ") + kModeNames[typ - kFilterResizeBase];
    if (IsResizeKind(typ))
        return "resize mode " + std::to_string(typ - kFilterResizeBase) + " (changes nothing)";
    if (typ == kFilterNotch) return "screen notch";
    if (typ == kFilterBand) return "screen band damping";
    if (typ == kFilterRuling) return "screen ruling low-pass";
    if (typ == kFilterSidebands) return "screen sideband damping";
    if (typ == kFilterUnrecognised) return "unrecognised";
    return "unrecognised (kind " + std::to_string(typ) + ")";
}

// The shortest text that reads back as the same float.
std::string Number(float v) {
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

// The line as it is, with control characters made visible.
std::string Visible(const std::string& line) {
    std::string out;
    for (const char ch : line) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x20 || b == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", b);
            out += hex;
        } else if (ch == '\\') {
            out += "\\\\";
        } else {
            out += ch;
        }
    }
    return out;
}

int RunShow(const TArgs& args) {
    if (args.Positional().size() != 2) throw EUsage("expected one FILE.flt");
    TFilterList filter;
    ForFile(args.Positional()[1], [&] { filter.LoadFilterFile(args.Positional()[1]); });
    int status = 0;
    for (size_t i = 0; i < filter.EntryCount(); ++i) {
        const std::string line = Visible(filter.Line(i));
        try {
            const TFilterEntry e = filter.GetEntry(i);
            std::printf("%zu: %s x1=%s x2=%s y1=%s y2=%s | %s\n", i + 1, KindText(e.typ).c_str(),
                        Number(e.x1).c_str(), Number(e.x2).c_str(), Number(e.y1).c_str(),
                        Number(e.y2).c_str(), line.c_str());
        } catch (const EConvertError& e) {
            // Applying the filter would stop at this line.
            std::printf("%zu: unreadable (%s) | %s\n", i + 1, ToolMessage(e.Message()).Text.c_str(),
                        line.c_str());
            status = 1;
        }
    }
    std::printf("%zu %s\n", filter.EntryCount(), filter.EntryCount() == 1 ? "entry" : "entries");
    return status;
}

// "L,T,W,H" of a mark; width and height may be negative, as while dragging.
TMarkRect ParseMark(const std::string& text, const std::string& option) {
    int32_t v[4];
    size_t start = 0;
    for (int k = 0; k < 4; ++k) {
        const size_t comma = text.find(',', start);
        if ((k < 3) != (comma != std::string::npos)) throw EUsage(option + ": expected L,T,W,H");
        v[k] = ParseIntArg(text.substr(start, k < 3 ? comma - start : std::string::npos), option);
        start = comma + 1;
    }
    return {v[0], v[1], v[2], v[3]};
}

// "WxH" of the spectrum the mark was drawn on.
std::pair<int32_t, int32_t> ParseSize(const std::string& text) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) throw EUsage("--size: expected WxH, for example 800x600");
    const int32_t w = ParseIntArg(text.substr(0, x), "--size"),
                  h = ParseIntArg(text.substr(x + 1), "--size");
    if (w < 1 || h < 1) throw EUsage("--size: width and height must be at least 1");
    return {w, h};
}

// Appends lines to the file's bytes, so that everything already there stays
// exactly as it was, line ends included; a load and a save would turn them
// into CR LF, and would drop whatever follows a NUL byte.
void AppendToFilterFile(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    if (std::filesystem::exists(std::filesystem::path(path))) {
        TFilterList existing;
        existing.LoadFilterFile(path); // the checks of a real load
        text = ReadWholeFile(path, kMaxFilterFileBytes);
        if (text.find('\0') != std::string::npos)
            throw Exception(
                path +
                " holds a NUL byte; lines after it would never be read, so nothing was added");
        if (existing.EntryCount() + lines.size() > kMaxFilterLines)
            throw EFileError(TMessage{TMessageId::FilterFileTooLarge, {path}, nullptr});
        if (!text.empty() && text.back() != '\r' && text.back() != '\n') text += "\r\n";
    }
    for (const auto& line : lines) text += line + "\r\n";
    WriteFileAtomically(path, text);
}

int RunAdd(const TArgs& args) {
    const auto& pos = args.Positional();
    const auto rect = args.Value("rect"), ellipse = args.Value("ellipse"),
               resize = args.Value("resize");
    if (int(rect.has_value()) + int(ellipse.has_value()) + int(resize.has_value()) != 1)
        throw EUsage("give exactly one of --rect, --ellipse and --resize");
    if (pos.size() != (resize ? 3u : 2u))
        throw EUsage(resize ? "expected FILE.flt and the resize VALUE" : "expected one FILE.flt");
    const std::string path = pos[1];

    TFilterList filter; // the new entries
    if (resize) {
        if (args.Value("size") || args.Flag("mirror"))
            throw EUsage("--size and --mirror go with a mark");
        const int32_t mode = ModeNamed(*resize);
        const int32_t value = ParseIntArg(pos[2], "VALUE");
        // Percent or pixels: below 1 nothing can be resized, and a million
        // is far beyond any picture (the run would only end in a memory error).
        if (value < 1 || value > kMaxResizeArg)
            throw EUsage("VALUE: " + std::to_string(value) + " is out of range (1.." +
                         std::to_string(kMaxResizeArg) + ")");
        filter.AppendEntry(kFilterResizeBase + mode, float(value), 0.0f, 0.0f, 0.0f);
    } else {
        const bool isEllipse = ellipse.has_value();
        TMarkRect mark =
            ParseMark(isEllipse ? *ellipse : *rect, isEllipse ? "--ellipse" : "--rect");
        const auto [W, H] = ParseSize(args.Required("size"));
        // As the smoothing command records a mark: normalised first, then
        // the fractions, then (mirror switch down) the fractions exchanged.
        NormaliseMark(mark);
        if (mark.L < 0 || mark.T < 0 || int64_t(mark.L) + mark.W > W ||
            int64_t(mark.T) + mark.H > H)
            throw EUsage(std::string(isEllipse ? "--ellipse" : "--rect") +
                         ": the mark must lie within the spectrum of " + std::to_string(W) + "x" +
                         std::to_string(H) + " cells");
        const int32_t kind = isEllipse ? kFilterEllipse : kFilterRectangle;
        const TNormalisedRegion r = MarkRegion(mark, W, H);
        filter.AppendEntry(kind, r.x1, r.x2, r.y1, r.y2);
        if (args.Flag("mirror")) {
            const TNormalisedRegion m = MirroredRegion(r);
            filter.AppendEntry(kind, m.x1, m.x2, m.y1, m.y2);
        }
    }
    ForFile(path, [&] { AppendToFilterFile(path, filter.Lines()); });
    for (const auto& line : filter.Lines()) std::printf("%s\n", line.c_str());
    return 0;
}

// The notches that remove the screen of the image, as a filter file.
int RunDetect(const TArgs& args) {
    const std::string image = args.Positional()[1], output = args.Required("output");
    RefuseReplacingInput(output, {image});
    TDescreenOptions options;
    options.Strength = StrengthArg(args);
    options.Transform = CliTransformOptions();
    TSpectrumStore store;
    ForFile(image, [&] { FillStoreFromBitmap(ReadImageFile(image), store); });
    TCliProgress progress("forward transform");
    TransformStore(store, TTransformDirection::Forward, nullptr, progress, options.Transform);
    progress.Finish();
    const TFilterList filter = DetectScreen(store, options);
    ForFile(output, [&] { filter.SaveFilterFile(output); });
    if (filter.Empty())
        std::printf("%s: no screen found; %s holds no entries\n", image.c_str(), output.c_str());
    else
        std::printf("%s: %zu entries written to %s\n", image.c_str(), filter.EntryCount(),
                    output.c_str());
    return 0;
}

int RunFilter(const std::vector<std::string>& argv) {
    TArgs args(argv, {"rect", "ellipse", "size", "resize", "output", "strength"}, {"mirror"});
    if (args.Positional().empty()) throw EUsage("expected 'show', 'add' or 'detect'");
    const std::string& sub = args.Positional()[0];
    if (sub == "detect") {
        if (args.Positional().size() != 2) throw EUsage("expected one IMAGE");
        return RunDetect(args);
    }
    if (args.Value("output") || args.Value("strength"))
        throw EUsage("-o and --strength belong to 'filter detect'");
    if (sub == "show") {
        if (args.Value("rect") || args.Value("ellipse") || args.Value("size") ||
            args.Value("resize") || args.Flag("mirror"))
            throw EUsage("'filter show' takes no options");
        return RunShow(args);
    }
    if (sub == "add") return RunAdd(args);
    throw EUsage("unknown filter command '" + sub + "' (show, add, detect)");
}

TCommandRegistrar filter(
    {"filter", "show a filter file, add entries to one, or detect a screen",
     "usage: pixmend-cli filter show FILE.flt\n"
     "       pixmend-cli filter add FILE.flt --rect|--ellipse L,T,W,H --size WxH [--mirror]\n"
     "       pixmend-cli filter add FILE.flt --resize MODE VALUE\n"
     "       pixmend-cli filter detect IMAGE -o FILE.flt [--strength S]\n\n"
     "show: one line per entry: its number, what applying does with it, its four\n"
     "numbers as read, and the line as it stands in the file. Exit status 1 when\n"
     "a line cannot be read (applying the filter would stop there).\n\n"
     "add: appends the entries that smoothing a mark would record: the mark at\n"
     "L,T of W x H pixels on a spectrum of WxH cells, as a rectangle or an\n"
     "ellipse, and with --mirror also its counterpart mirrored at the diagonal.\n"
     "--resize appends a resize entry; MODE is percent, width, height,\n"
     "max-width or max-height, VALUE a whole number from 1 to 1000000; a mark\n"
     "must lie within the spectrum. The file is created when\n"
     "missing; what it holds already is kept byte for byte. The new lines are\n"
     "printed.\n\n"
     "detect: finds the halftone screen in IMAGE's spectrum and writes one notch\n"
     "entry per peak to FILE.flt (replacing it), for review in the window or to\n"
     "replay with 'apply' on other scans of the same print. A picture without a\n"
     "screen gives an empty file. --strength as for 'descreen'.\n",
     RunFilter});

} // namespace
