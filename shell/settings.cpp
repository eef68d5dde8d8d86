#include "shell/settings.h"

#include "spectral/errors.h"
#include "spectral/file_io.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kMaxSettingsBytes = size_t(1) << 20;

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool EqualAsciiIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The entries of an INI text in file order. Section and key names compare
// without regard to ASCII letter case, as INI readers traditionally do; the
// first entry of a key wins.
class IniText {
public:
    explicit IniText(std::string_view text) {
        if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        std::string_view section;
        while (!text.empty()) {
            const size_t end = text.find('\n');
            std::string_view line = Trim(text.substr(0, end));
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            if (line.empty() || line.front() == ';' || line.front() == '#') continue;
            if (line.front() == '[') {
                const size_t close = line.find(']');
                section = close == std::string_view::npos ? std::string_view()
                                                          : Trim(line.substr(1, close - 1));
                continue;
            }
            const size_t equals = line.find('=');
            if (equals == std::string_view::npos) continue;
            std::string_view value = Trim(line.substr(equals + 1));
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front())
                value = value.substr(1, value.size() - 2);
            entries_.push_back({section, Trim(line.substr(0, equals)), value});
        }
    }

    std::optional<std::string_view> Get(std::string_view section, std::string_view key) const {
        for (const Entry& e : entries_)
            if (EqualAsciiIgnoringCase(e.Section, section) && EqualAsciiIgnoringCase(e.Key, key))
                return e.Value;
        return std::nullopt;
    }

private:
    struct Entry {
        std::string_view Section;
        std::string_view Key;
        std::string_view Value;
    };
    std::vector<Entry> entries_;
};

// A decimal 32-bit integer with an optional sign, blanks around it allowed;
// anything else (empty, trailing text, out of range) is not a number.
std::optional<int32_t> ParseInt(std::string_view s) {
    s = Trim(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return std::nullopt;
    int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
        if (v > int64_t(INT32_MAX) + 1) return std::nullopt;
    }
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return int32_t(v);
}

std::optional<bool> ParseBool(std::string_view s) {
    s = Trim(s);
    if (EqualAsciiIgnoringCase(s, "True")) return true;
    if (EqualAsciiIgnoringCase(s, "False")) return false;
    return std::nullopt;
}

// "%d,%d,%d,%d": each field that is missing or not a number takes its default.
std::array<int32_t, 4> ParseFour(std::string_view s, const std::array<int32_t, 4>& defaults) {
    std::array<int32_t, 4> out = defaults;
    for (size_t i = 0; i < 4; ++i) {
        const size_t comma = s.find(',');
        const std::string_view field = s.substr(0, comma);
        if (const auto v = ParseInt(field)) out[i] = *v;
        if (comma == std::string_view::npos) break;
        s.remove_prefix(comma + 1);
    }
    return out;
}

std::string Four(int32_t a, int32_t b, int32_t c, int32_t d) {
    return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," +
           std::to_string(d);
}

const char* BoolText(bool v) {
    return v ? "True" : "False";
}

} // namespace

int32_t ShowCmdOf(TShowState state) {
    switch (state) {
    case TShowState::Normal:
        return 1;
    case TShowState::Minimized:
        return 2;
    case TShowState::Maximized:
        break;
    }
    return 3;
}

TShowState ShowStateOfCmd(int32_t showCmd) {
    switch (showCmd) {
    case 1:
    case 5:
    case 9:
        return TShowState::Normal;
    case 2:
    case 6:
    case 7:
        return TShowState::Minimized;
    default:
        return TShowState::Maximized;
    }
}

std::string SettingsFilePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/Pixmend";
    std::string home;
    if (const char* h = std::getenv("HOME"); h != nullptr && h[0] != '\0')
        home = h;
    else if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
        home = pw->pw_dir;
    else
        home = ".";
    return home + "/.config/Pixmend";
}

std::string FormatSettings(const TSettingsRecord& r) {
    std::string s;
    const auto put = [&s](std::string_view key, const std::string& value) {
        s.append(key).append("=").append(value).append("\n");
    };
    s += "[TForm1]\n";
    put("FormVersion", "0");
    put("Flags", std::to_string(r.Flags));
    put("ShowCmd", std::to_string(ShowCmdOf(r.ShowState)));
    put("PixelsPerInch", std::to_string(r.PixelsPerInch));
    put("MinMaxPos", Four(r.MinPosition.X, r.MinPosition.Y, r.MaxPosition.X, r.MaxPosition.Y));
    put("NormPos", Four(r.NormalPosition.Left, r.NormalPosition.Top, r.NormalPosition.Right,
                        r.NormalPosition.Bottom));
    put("Visible", r.Visible ? "1" : "0");
    put("ToolBar_Left", std::to_string(r.ToolBar_Left));
    put("ToolBar1_Left", std::to_string(r.ToolBar1_Left));
    put("ToolBar2_Left", std::to_string(r.ToolBar2_Left));
    put("ToolLanguage_Left", std::to_string(r.ToolLanguage_Left));
    put("ToolShape_Left", std::to_string(r.ToolShape_Left));
    put("ToolMirror_Down", BoolText(r.ToolMirror_Down));
    put("Toolgb_Down", BoolText(r.Toolgb_Down));
    put("ToolDe_Down", BoolText(r.ToolDe_Down));
    s += "\n[Prefs]\n";
    put("Lang", std::to_string(r.Lang));
    if (!r.HelpBase.empty()) put("HelpBase", r.HelpBase);
    if (r.FastTransform) put("FastTransform", BoolText(true));
    size_t recent = 0;
    for (const std::string& file : r.RecentFiles) {
        // A line end would end the entry; blanks or quotes at its ends would
        // be taken off by the reader unless the value is quoted.
        if (file.empty() || file.find_first_of("\r\n") != std::string::npos) continue;
        if (recent == kMaxRecentFiles) break;
        if (recent == 0) s += "\n[Recent]\n";
        const bool quote = Trim(file) != file || file.front() == '"' || file.front() == '\'';
        put("File" + std::to_string(++recent), quote ? "\"" + file + "\"" : file);
    }
    return s;
}

TRestoredSettings ParseSettings(const std::string& text, int32_t screenPixelsPerInch,
                                const TRect32& currentNormalPosition) {
    const IniText ini(text);
    const auto integer = [&ini](std::string_view section, std::string_view key) {
        const auto v = ini.Get(section, key);
        return v ? ParseInt(*v) : std::nullopt;
    };
    TRestoredSettings r;
    if (const auto helpBase = ini.Get("Prefs", "HelpBase")) r.HelpBase = std::string(*helpBase);
    for (size_t i = 1; i <= kMaxRecentFiles; ++i) {
        const auto file = ini.Get("Recent", "File" + std::to_string(i));
        if (!file || file->empty()) break;
        r.RecentFiles.emplace_back(*file);
    }

    if (integer("TForm1", "FormVersion").value_or(0) < 0) {
        r.Read = false;
        r.ShowState = TShowState::Normal;
        return r;
    }

    r.Flags = integer("TForm1", "Flags").value_or(0);
    const auto minMax = ini.Get("TForm1", "MinMaxPos");
    const auto norm = ini.Get("TForm1", "NormPos");
    if (minMax) {
        const auto v = ParseFour(*minMax, {0, 0, 0, 0});
        r.MinPosition = {v[0], v[1]};
        r.MaxPosition = {v[2], v[3]};
    }
    const TRect32& cur = currentNormalPosition;
    r.NormalPosition = cur;
    if (norm) {
        const auto v = ParseFour(*norm, {cur.Left, cur.Top, cur.Right, cur.Bottom});
        r.NormalPosition = {v[0], v[1], v[2], v[3]};
    }
    // A geometry the window system could not have stored (empty, inverted or
    // absurdly large) is a damaged entry; the window keeps its own.
    const int64_t width = int64_t(r.NormalPosition.Right) - r.NormalPosition.Left;
    const int64_t height = int64_t(r.NormalPosition.Bottom) - r.NormalPosition.Top;
    const bool sane =
        width > 0 && height > 0 && width <= kMaxWindowExtent && height <= kMaxWindowExtent;
    const bool sameResolution =
        integer("TForm1", "PixelsPerInch").value_or(screenPixelsPerInch) == screenPixelsPerInch;
    r.ApplyPlacement = (minMax || norm) && sameResolution && sane;
    if (!r.ApplyPlacement) {
        r.Flags = 0;
        r.MinPosition = {};
        r.MaxPosition = {};
        r.NormalPosition = cur;
    }

    const auto showCmd = integer("TForm1", "ShowCmd");
    r.ShowState = showCmd ? ShowStateOfCmd(*showCmd) : TShowState::Maximized;

    r.ToolBar_Left = integer("TForm1", "ToolBar_Left");
    r.ToolBar1_Left = integer("TForm1", "ToolBar1_Left");
    r.ToolBar2_Left = integer("TForm1", "ToolBar2_Left");
    r.ToolLanguage_Left = integer("TForm1", "ToolLanguage_Left");
    r.ToolShape_Left = integer("TForm1", "ToolShape_Left");
    const auto boolean = [&ini](std::string_view key) {
        const auto v = ini.Get("TForm1", key);
        return v ? ParseBool(*v) : std::nullopt;
    };
    r.ToolMirror_Down = boolean("ToolMirror_Down");
    r.Toolgb_Down = boolean("Toolgb_Down");
    r.ToolDe_Down = boolean("ToolDe_Down");

    r.Lang = integer("Prefs", "Lang").value_or(2);
    if (const auto fast = ini.Get("Prefs", "FastTransform"))
        r.FastTransform = ParseBool(*fast).value_or(false);
    return r;
}

TRestoredSettings DefaultSettings(int32_t screenPixelsPerInch,
                                  const TRect32& currentNormalPosition) {
    return ParseSettings(std::string(), screenPixelsPerInch, currentNormalPosition);
}

TRestoredSettings ReadSettingsFile(const std::string& fileName, int32_t screenPixelsPerInch,
                                   const TRect32& currentNormalPosition) {
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return DefaultSettings(screenPixelsPerInch, currentNormalPosition);
    return ParseSettings(ReadWholeFile(fileName, kMaxSettingsBytes), screenPixelsPerInch,
                         currentNormalPosition);
}

void WriteSettingsFile(const std::string& fileName, const TSettingsRecord& record) {
    // A settings file the user made read-only stays as it is, although the
    // folder would let us replace it.
    if (::access(fileName.c_str(), F_OK) == 0 && ::access(fileName.c_str(), W_OK) != 0)
        throw EFileError(CannotCreateMessage(fileName));
    const std::filesystem::path folder = std::filesystem::path(fileName).parent_path();
    if (!folder.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
    }
    WriteFileAtomically(fileName, FormatSettings(record));
}
