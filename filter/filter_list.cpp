#include "filter/filter_list.h"

#include "spectral/errors.h"
#include "spectral/file_io.h"

#include <sys/stat.h>

namespace {
TMessage TooLargeMessage(const std::string& path) {
    return TMessage{TMessageId::FilterFileTooLarge, {path}, nullptr};
}
} // namespace

EFilterLineError::EFilterLineError(std::string file, size_t line, const TValueProblem& problem)
    : EConvertError(
          MessageAbout(TMessageId::FilterFileLine, {file, std::to_string(line)},
                       TMessage{TMessageId::Worded, {problem.German, problem.English}, nullptr})),
      file_(std::move(file)), english_(problem.English), line_(line) {}

std::string EFilterLineError::English() const {
    return file_ + ", line " + std::to_string(line_) + ": " + english_;
}

bool TFilterList::AppendEntry(int32_t typ, float x1, float x2, float y1, float y2) {
    auto line = FormatEntryLine(typ, x1, x2, y1, y2);
    if (!line) return false;
    if (const auto problem = EntryValueProblem(typ, x1, x2, y1, y2)) throw EConvertError(*problem);
    lines_.push_back(std::move(*line));
    return true;
}

void TFilterList::AppendLine(std::string line) {
    lines_.push_back(std::move(line));
}

const std::string& TFilterList::Line(size_t i) const {
    if (i >= lines_.size())
        throw Exception(TMessage{TMessageId::ListIndex, {std::to_string(i)}, nullptr});
    return lines_[i];
}

TFilterEntry TFilterList::GetEntry(size_t i) const {
    return ParseEntryLine(Line(i));
}

void TFilterList::DeleteLastEntry() {
    if (!lines_.empty()) lines_.pop_back();
}

void TFilterList::DeleteEntry(size_t i) {
    if (i < lines_.size()) lines_.erase(lines_.begin() + std::ptrdiff_t(i));
}

std::vector<std::string> SplitFilterText(const std::string& text, const std::string& path,
                                         size_t maxLines) {
    std::vector<std::string> lines;
    const size_t n = text.size();
    size_t start = 0, i = 0;
    // An editor's byte-order mark would hide the first line's kind.
    if (text.compare(0, 3, "\xef\xbb\xbf") == 0) start = i = 3;
    for (; i < n && text[i] != '\0'; ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        if (lines.size() >= maxLines) throw EFileError(TooLargeMessage(path));
        lines.emplace_back(text, start, i - start);
        if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    // The text after the last line end is a line of its own when it holds
    // anything (with or without a NUL after it).
    if (i > start) {
        if (lines.size() >= maxLines) throw EFileError(TooLargeMessage(path));
        lines.emplace_back(text, start, i - start);
    }
    return lines;
}

void TFilterList::LoadFilterFile(const std::string& path) {
    // The size is checked first, so that a huge file is refused with a
    // message that says why instead of the generic one.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        size_t(st.st_size) > kMaxFilterFileBytes)
        throw EFileError(TooLargeMessage(path));
    const std::string text = ReadWholeFile(path, kMaxFilterFileBytes);
    // NUL bytes may pad the end of a file; one with text after it would hide
    // the rest of the filter.
    if (const size_t nul = text.find('\0');
        nul != std::string::npos && text.find_first_not_of('\0', nul) != std::string::npos)
        throw EFilterLineError(path, SplitFilterText(text.substr(0, nul) + "x", path).size(),
                               TValueProblem{"die Zeile enthält ein NUL-Zeichen, nach dem noch "
                                             "Text folgt",
                                             "the line holds a NUL byte with more text after it"});
    std::vector<std::string> lines = SplitFilterText(text, path);
    for (size_t i = 0; i < lines.size(); ++i)
        if (const auto problem = LineValueProblem(lines[i]))
            throw EFilterLineError(path, i + 1, *problem);
    lines_.swap(lines);
}

void TFilterList::SaveFilterFile(const std::string& path) const {
    std::string text;
    size_t total = 0;
    for (const auto& line : lines_) total += line.size() + 2;
    text.reserve(total);
    for (const auto& line : lines_) {
        text += line;
        text += "\r\n";
    }
    WriteFileAtomically(path, text);
}
