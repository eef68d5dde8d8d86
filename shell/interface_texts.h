#pragma once
// English forms of the German texts that the language tables do not carry:
// the dialogs' captions, the prompts, the tooltips added later, and the
// messages of the engine's errors. The German texts stay the program's own
// (they are what the engine raises and what a German user sees); the window
// maps them to English at the last moment, when English is selected.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The text to show for a German interface text: its English form when
// `language` is 2 and one is known, otherwise the text itself.
std::string InterfaceText(int32_t language, std::string_view german);

// The same for an error message, which may carry a file name or a number
// ("Datei %s kann nicht erstellt werden"): the parameters are kept, the
// words around them translated.
std::string MessageText(int32_t language, const std::string& message);

// Every German text with its English form (the messages with "%s" where
// their parameter goes), for showing and for checking the English interface.
const std::vector<std::pair<std::string_view, std::string_view>>& InterfaceTextPairs();
