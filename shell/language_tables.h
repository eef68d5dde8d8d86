#pragma once
// The interface texts in German and English, and the lookup through which the
// whole program gets its messages, status texts, captions and hints.
//
// A table is an ordered list of lines. Every line but the empty first one is
// key "=" value: the key is everything before the first "=", the value
// everything after it, blanks included. The eight characters "/n0d/n0a" in a
// value stand for a line break (CR LF). The first matching line wins, so the
// order of the lines matters as much as their contents.

#include <cstdint>
#include <string>
#include <vector>

using TLanguageTable = std::vector<std::string>;

// The German table (90 lines) and the English table (78 lines), UTF-8: the
// designed lines, then the texts of later features, in both tables alike.
const TLanguageTable& StrHolder1();
const TLanguageTable& StrHolder2();

// The interface languages by the numbers the settings file and the help
// pages' names use.
enum TLanguageId : int32_t { lgNone = 0, lgGerman = 1, lgEnglish = 2 };

// Which language the interface speaks. Held by the main window; the engine
// only reads it. Until a language is first applied the table is null and
// every lookup gives its fallback, so early messages come out as bare keys.
struct TLanguageState {
    int32_t Language = lgNone;                     // a TLanguageId; lgNone until first applied
    const TLanguageTable* LanguageTable = nullptr; // StrHolder1(), StrHolder2() or null
};

// The text for a full key ("Form1.h-ToolOpen", "##beenden##", ...): the value
// of the first line whose key equals fullKey, ignoring letter case (also of
// non-ASCII letters such as "Ü"/"ü"), with every "/n0d/n0a" turned into CR LF.
// Gives the fallback when no table is active, no line matches, or the value
// is empty.
std::string LookupText(const TLanguageState& state, const std::string& fullKey,
                       const std::string& fallback);

// The text of a message key: LookupText of "##" + key + "##", the bare key as
// fallback (LangText(s, "beenden") is "beenden" before a language is applied).
std::string LangText(const TLanguageState& state, const std::string& messageKey);

// The text of a message key that is a printf-style format with one floating
// number ("erledigt": "%2.1f  Prozent erledigt"), filled with value. Only a
// single "%[flags][width][.precision]f" conversion and "%%" are honoured;
// anything else in the text is copied as it stands, so a table text can never
// make the formatting read past its one argument.
std::string LangTextFormat(const TLanguageState& state, const std::string& messageKey,
                           double value);

// Makes the table of the language current: StrHolder2 for 2, StrHolder1 for
// every other value. Leaves state.Language alone (the caller sets it).
void SelectLanguageTable(TLanguageState& state, int32_t language);
