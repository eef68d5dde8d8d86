#pragma once
// The filter list: the ordered text lines of the current filter, one per
// entry. It belongs to the program, not to an image, and is only read by the
// operations that apply a filter. Loading keeps every line exactly as it was,
// lines the program does not understand included, so a load and a save change
// nothing but the line ends.

#include "filter/filter_entry.h"
#include "spectral/errors.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Limits that keep a damaged or hostile file from taking all memory; a real
// filter is a few dozen lines.
constexpr size_t kMaxFilterFileBytes = size_t(64) << 20;
constexpr size_t kMaxFilterLines = size_t(1) << 22;

// A line of a filter file whose numbers cannot be read. The message names the
// file and the line (counted from 1) in German; English() gives the same in
// English, and the parts are kept for a host that words it its own way.
class EFilterLineError : public EConvertError {
public:
    EFilterLineError(std::string file, size_t line, const TValueProblem& problem);
    const std::string& File() const { return file_; }
    size_t Line() const { return line_; }
    // "FILE, line N: REASON".
    std::string English() const;
    const std::string& EnglishReason() const { return english_; }

private:
    std::string file_, english_;
    size_t line_;
};

class TFilterList {
public:
    // Formats the entry and appends its line; nothing for a kind without one
    // (see FormatEntryLine). Returns whether a line was added. Numbers that
    // EntryValueProblem refuses throw EConvertError with its reason, and
    // nothing is added.
    bool AppendEntry(int32_t typ, float x1, float x2, float y1, float y2);
    // Appends a line as it is (for lines typed or pasted by hand).
    void AppendLine(std::string line);

    size_t EntryCount() const { return lines_.size(); }
    bool Empty() const { return lines_.empty(); }
    // The parsed line i (0-based); throws what ParseEntryLine throws, and
    // Exception for an index outside the list.
    TFilterEntry GetEntry(size_t i) const;
    const std::string& Line(size_t i) const;
    const std::vector<std::string>& Lines() const { return lines_; }

    // Removes the last line, if any.
    void DeleteLastEntry();
    // Removes line i, if it exists.
    void DeleteEntry(size_t i);
    void Clear() { lines_.clear(); }

    // Replaces all lines by those of the file: lines end at CR, LF or CR LF,
    // a NUL byte ends the text, a last line without an end still counts, and
    // empty lines are entries too; a UTF-8 byte-order mark before the first
    // line is no part of it. The whole file is read before anything is
    // used: a value that is not a number (see LineValueProblem) refuses the
    // file with EFilterLineError. On any error the list stays as it was.
    // Errors: EFileError "Datei %s kann nicht geöffnet werden", and
    // "Datei %s ist zu groß für eine Filterdatei" beyond the limits above.
    void LoadFilterFile(const std::string& path);
    // Writes every line followed by CR LF, replacing the file atomically.
    // EFileError "Datei %s kann nicht erstellt werden" when it cannot.
    void SaveFilterFile(const std::string& path) const;

private:
    std::vector<std::string> lines_;
};

// The lines of a filter file's text (the splitting rules of LoadFilterFile).
// Throws EFileError with the too-large message for `path` past maxLines.
std::vector<std::string> SplitFilterText(const std::string& text, const std::string& path,
                                         size_t maxLines = kMaxFilterLines);
