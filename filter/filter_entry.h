#pragma once
// One entry of a filter and its text line. A filter is kept as text: each
// entry is the line that the list window shows and the filter file holds, and
// every reading of an entry parses that line again. Lines from a file are kept
// verbatim, so the reading rules below decide what an entry means, not the
// writing rules.

#include <cstdint>
#include <optional>
#include <string>

// A line whose kind is not recognised: applying skips it.
constexpr int32_t kFilterUnrecognised = -1;
constexpr int32_t kFilterRectangle = 0;
constexpr int32_t kFilterEllipse = 1;
constexpr int32_t kFilterResizeBase = 100; // + mode 0..4
// The resize kinds with a mode the resize knows (percent .. max height).
constexpr int32_t kFilterResizeLast = kFilterResizeBase + 4;
// Applying takes every kind up to this one as a resize; modes above 4 change
// nothing. Kinds from 0 below the resize base smooth an ellipse unless 0.
constexpr int32_t kFilterResizeEnd = 200;
// A screen notch ("typ=notch"): damps the coefficients inside the ellipse
// inscribed in the region down to the level of the spectrum around it.
// Readers that know only the kinds above read the line as unrecognised and
// skip it. The number lies beyond what a "resize" kind can spell (three
// characters, at most 999), so no line of another kind can be taken for it.
constexpr int32_t kFilterNotch = 1000;
// A screen band damping ("typ=band"): x1 and x2 the normalised radii of the
// band on which the picture's own spectrum is fitted, y1 the strength.
constexpr int32_t kFilterBand = 1001;
// A screen ruling low-pass ("typ=ruling"): x1 the normalised radius of the
// screen's fundamental, x2 the power of the gain (see DampScreenRuling).
constexpr int32_t kFilterRuling = 1002;
// A screen sideband damping ("typ=sidebands"): x1 the normalised radius of
// the screen's fundamental, x2 the power of the gain, y1 the strength the
// peaks are found with (see DampScreenSidebands).
constexpr int32_t kFilterSidebands = 1003;

constexpr bool IsSmoothingKind(int32_t typ) {
    return typ >= kFilterRectangle && typ < kFilterResizeBase;
}
constexpr bool IsResizeKind(int32_t typ) {
    return typ >= kFilterResizeBase && typ <= kFilterResizeEnd;
}

// The parsed form of a line.
struct TFilterEntry {
    // 0 rectangle smoothing, 1 ellipse smoothing, 100 + m spectral resize
    // with mode m, -1 a line whose kind is not recognised. Reading can give
    // any other number too (the three characters after "resize").
    int32_t typ = kFilterUnrecognised;
    // Smoothing: the region's bounds as fractions of the spectrum's width
    // (x1, x2) and height (y1, y2). Resize: x1 is the resize value, the
    // others 0.
    float x1 = 0.0f;
    float x2 = 0.0f;
    float y1 = 0.0f;
    float y2 = 0.0f;
};

// The line of an entry ("typ=rec,x1=12.50000,..."), each field as its value
// times 100 with five decimals and "." whatever the locale. Nothing for a
// kind other than 0, 1, 100..104, the notch, the band, the ruling low-pass and
// the sideband damping.
std::optional<std::string> FormatEntryLine(int32_t typ, float x1, float x2, float y1, float y2);

// Why an entry with these numbers cannot be recorded, or nothing when it
// can: every number must be finite, a region's bounds must lie within one
// spectrum size around the spectrum (fractions from -1 to 2), and a resize
// value must be a whole number of the int32 range. Entries that break these
// would only fail, or do something absurd, when the filter is applied.
std::optional<std::string> EntryValueProblem(int32_t typ, float x1, float x2, float y1, float y2);

// A value of a line that does not read as a number (in both languages, for
// the window's and the command-line tool's messages). Values the program
// writes, and empty or missing ones, never make one.
struct TValueProblem {
    std::string German;
    std::string English;
};
// The first value of x1, x2, y1, y2 that is not wholly a decimal number
// ("abc", "nan", "12abc"), or that a comma splits ("10,5"); or, for the
// screen kinds, an infinite number or a band's negative strength.
std::optional<TValueProblem> LineValueProblem(const std::string& line);

// Reads a line. Never fails, except for a "resize" kind whose next three
// characters are not a whole number: EConvertError
// "'%s' ist kein gültiger Integerwert".
TFilterEntry ParseEntryLine(const std::string& line);
