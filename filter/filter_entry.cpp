#include "filter/filter_entry.h"

#include "spectral/errors.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string_view>
#include <vector>

namespace {

// Blanks and control characters separate items and never belong to one.
inline bool IsBlank(char ch) {
    return static_cast<unsigned char>(ch) <= ' ';
}

// Splits a line into its comma-separated items. A double quote at the start
// of an item quotes it up to the closing quote ("" inside stands for one).
std::vector<std::string> SplitItems(std::string_view line) {
    // A NUL ends the text, as it ends a line when a file is loaded.
    if (const auto nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);
    std::vector<std::string> items;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n && IsBlank(line[i])) ++i;
    while (i < n) {
        std::string item;
        if (line[i] == '"') {
            ++i;
            while (i < n) {
                if (line[i] == '"') {
                    if (i + 1 < n && line[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += line[i++];
            }
        } else {
            const size_t start = i;
            while (i < n && !IsBlank(line[i]) && line[i] != ',') ++i;
            item.assign(line.substr(start, i - start));
        }
        items.push_back(std::move(item));
        while (i < n && IsBlank(line[i])) ++i;
        if (i < n && line[i] == ',') {
            // A comma that ends the line still opens one (empty) item.
            if (i + 1 == n) items.emplace_back();
            do ++i;
            while (i < n && IsBlank(line[i]));
        }
    }
    return items;
}

inline char AsciiLower(char ch) {
    return ch >= 'A' && ch <= 'Z' ? char(ch - 'A' + 'a') : ch;
}

bool SameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

// The value of the first item whose name (the text before its first "=")
// is the key, letters compared without regard to case; empty if none.
std::string ValueOf(const std::vector<std::string>& items, std::string_view key) {
    for (const auto& item : items) {
        const auto eq = item.find('=');
        if (eq != std::string::npos && SameKey(std::string_view(item).substr(0, eq), key))
            return item.substr(eq + 1);
    }
    return {};
}

// The C locale, so that "." is the decimal point whatever the user's locale.
locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return c;
}

// The length of the decimal number at the start of the text (optional sign,
// digits with an optional fraction, optional exponent); 0 when there is none.
size_t NumberLength(const std::string& text) {
    size_t i = 0;
    const size_t n = text.size();
    const auto digits = [&](size_t& k) {
        const size_t from = k;
        while (k < n && text[k] >= '0' && text[k] <= '9') ++k;
        return k - from;
    };
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t mantissa = digits(i);
    if (i < n && text[i] == '.') {
        size_t k = i + 1;
        const size_t fraction = digits(k);
        if (mantissa + fraction > 0) {
            i = k;
            mantissa += fraction;
        }
    }
    if (mantissa == 0) return 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        size_t k = i + 1;
        if (k < n && (text[k] == '+' || text[k] == '-')) ++k;
        if (digits(k) > 0) i = k;
    }
    return i;
}

// The longest prefix of the text that is a decimal number (NumberLength),
// read as a double; 0 when there is none. Overflow gives an infinity, underflow 0: the value is
// kept as read, and what it would mean is decided where it is used.
double ReadNumber(const std::string& text) {
    const size_t length = NumberLength(text);
    if (length == 0) return 0.0;
    const std::string number = text.substr(0, length);
    return strtod_l(number.c_str(), nullptr, CLocale());
}

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char ch : text)
        if (ch < '0' || ch > '9') return false;
    return true;
}

float ReadField(const std::vector<std::string>& items, std::string_view key) {
    const float read = float(ReadNumber(ValueOf(items, key)));
    return read / 100.0f;
}

// The whole number written in the (at most) three characters after "resize".
int32_t ResizeKind(const std::string& value) {
    const std::string digits = value.substr(6, 3);
    size_t i = 0;
    if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) ++i;
    bool ok = i < digits.size();
    for (size_t k = i; k < digits.size(); ++k) ok = ok && digits[k] >= '0' && digits[k] <= '9';
    if (!ok) throw EConvertError(TMessage{TMessageId::NotAnInteger, {digits}, nullptr});
    int32_t magnitude = 0;
    std::from_chars(digits.data() + i, digits.data() + digits.size(), magnitude);
    return digits[0] == '-' ? -magnitude : magnitude;
}

// N(v): the value times 100 with five decimals.
std::string FormatField(float v) {
    // Adding 0.0 turns -0 into 0, which has no minus sign.
    const double scaled = double(v) * 100.0 + 0.0;
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, scaled, std::chars_format::fixed, 5);
    return std::string(buffer, result.ptr);
}

} // namespace

std::optional<std::string> FormatEntryLine(int32_t typ, float x1, float x2, float y1, float y2) {
    std::string line;
    if (typ == kFilterRectangle)
        line = "typ=rec";
    else if (typ == kFilterEllipse)
        line = "typ=ell";
    else if (typ >= kFilterResizeBase && typ <= kFilterResizeLast)
        line = "typ=resize" + std::to_string(typ);
    else if (typ == kFilterNotch)
        line = "typ=notch";
    else if (typ == kFilterBand)
        line = "typ=band";
    else if (typ == kFilterRuling)
        line = "typ=ruling";
    else if (typ == kFilterSidebands)
        line = "typ=sidebands";
    else
        return std::nullopt;
    line += ",x1=" + FormatField(x1);
    line += ",x2=" + FormatField(x2);
    line += ",y1=" + FormatField(y1);
    line += ",y2=" + FormatField(y2);
    return line;
}

std::optional<std::string> EntryValueProblem(int32_t typ, float x1, float x2, float y1, float y2) {
    for (const float v : {x1, x2, y1, y2})
        if (!std::isfinite(v)) return "the numbers of a filter entry must be finite";
    if (typ >= kFilterResizeBase && typ <= kFilterResizeBase + 100) {
        if (!(std::fabs(x1) < 2147483648.0f) || x1 != std::nearbyint(x1))
            return "a resize value must be a whole number between -2147483648 and 2147483647";
        return std::nullopt;
    }
    // A band's radii and strength are no region.
    if (typ == kFilterBand || typ == kFilterRuling || typ == kFilterSidebands) return std::nullopt;
    for (const float v : {x1, x2, y1, y2})
        if (v < -1.0f || v > 2.0f)
            return "a region must lie within one spectrum size around the spectrum (its bounds "
                   "as fractions of the size from -1 to 2)";
    return std::nullopt;
}

std::optional<TValueProblem> LineValueProblem(const std::string& line) {
    const std::vector<std::string> items = SplitItems(line);
    for (const char* key : {"x1", "x2", "y1", "y2"}) {
        // The item that ValueOf reads, and the one after it.
        for (size_t i = 0; i < items.size(); ++i) {
            const auto eq = items[i].find('=');
            if (eq == std::string::npos || !SameKey(std::string_view(items[i]).substr(0, eq), key))
                continue;
            const std::string value = items[i].substr(eq + 1);
            if (value.empty()) break; // reads as 0, as it always did
            const size_t length = NumberLength(value);
            if (length == 0)
                return TValueProblem{"'" + value + "' ist keine Zahl (" + key + ")",
                                     "'" + value + "' is not a number (" + key + ")"};
            if (length < value.size())
                return TValueProblem{"nach der Zahl " + value.substr(0, length) + " folgt '" +
                                         value.substr(length) + "' (" + key + ")",
                                     "the number " + value.substr(0, length) + " is followed by '" +
                                         value.substr(length) + "' (" + key + ")"};
            // "x1=10,5": a decimal comma, which splits the number in two.
            if (i + 1 < items.size() && AllDigits(items[i + 1]) && AllDigits(value))
                return TValueProblem{"'" + value + "," + items[i + 1] +
                                         "' hat ein Komma statt des Dezimalpunkts (" + key + ")",
                                     "'" + value + "," + items[i + 1] +
                                         "' has a comma for the decimal point (" + key +
                                         "; write " + value + "." + items[i + 1] + ")"};
            break;
        }
    }
    // The screen kinds measure the spectrum with their numbers: one that is
    // infinite, or a band's negative strength, would only be skipped or fail
    // late, so the filter is refused as a whole when it is read.
    const std::string kind = ValueOf(items, "typ");
    if (kind == "notch" || kind == "band") {
        const float values[] = {ReadField(items, "x1"), ReadField(items, "x2"),
                                ReadField(items, "y1"), ReadField(items, "y2")};
        for (const float v : values)
            if (!std::isfinite(v))
                return TValueProblem{"eine Zahl ist unendlich groß", "a number is infinite"};
        if (kind == "band" && values[2] < 0.0f)
            return TValueProblem{"die Stärke eines Bandes ist negativ",
                                 "a band's strength is negative"};
    }
    return std::nullopt;
}

TFilterEntry ParseEntryLine(const std::string& line) {
    const std::vector<std::string> items = SplitItems(line);
    TFilterEntry entry;
    const std::string kind = ValueOf(items, "typ");
    if (kind == "rec")
        entry.typ = kFilterRectangle;
    else if (kind == "ell")
        entry.typ = kFilterEllipse;
    else if (kind == "notch")
        entry.typ = kFilterNotch;
    else if (kind == "band")
        entry.typ = kFilterBand;
    else if (kind == "ruling")
        entry.typ = kFilterRuling;
    else if (kind == "sidebands")
        entry.typ = kFilterSidebands;
    else if (kind.compare(0, 6, "resize") == 0 && kind.size() >= 6)
        entry.typ = ResizeKind(kind);
    entry.x1 = ReadField(items, "x1");
    entry.x2 = ReadField(items, "x2");
    entry.y1 = ReadField(items, "y1");
    entry.y2 = ReadField(items, "y2");
    return entry;
}
