#pragma once
// English forms of the German texts that the language tables do not carry:
// the dialogs' captions, the prompts and the tooltips added later. The German
// texts stay the program's own; the window maps them to English at the last
// moment, when English is selected. The engine's messages come by id from
// their catalogue (spectral/messages.h).

#include "spectral/messages.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The text to show for a German interface text: its English form when
// `language` is 2 and one is known, otherwise the text itself.
std::string InterfaceText(int32_t language, std::string_view german);

// A message of the engine in the interface language.
std::string MessageText(int32_t language, const TMessage& message);

// Every German text with its English form (the messages with "%1" where
// their first argument goes), for showing and for checking the English
// interface.
const std::vector<std::pair<std::string_view, std::string_view>>& InterfaceTextPairs();

// A text the interface showed in language `from` as language `to` shows it:
// a message of the tables or an interface text, with what stood in its
// "%1", "%2", ... (and a number's "%2.1f") carried over. Empty when the text
// is none of them, or from and to are the same.
std::string TextInLanguage(int32_t from, int32_t to, std::string_view shown);
