#pragma once
// Where the help pages live: the page name of a topic in a language, the page
// address on the help server, the configured base address, and the page the
// help window shows when a page cannot be fetched.
//
// The base address is configuration. The window reads it from the settings
// file, section "Prefs", key "HelpBase" (for example
// "HelpBase=http://intranet.example/pixmend/"); without it the help window
// reads the pages that ship with the program straight from disk.

#include <cstdint>
#include <optional>
#include <string>

// The address "pixmend-cli help-server" serves on by default.
inline constexpr const char* kDefaultHelpBase = "http://127.0.0.1:8642/";

// "pixmend_help_" + topic + "_" + language number + ".htm". The language
// number is used as it is (1 German, 2 English), whatever language the pages
// are written in.
std::string HelpPageName(int32_t topic, int32_t language);

// The base address followed by the page name.
std::string HelpPageAddress(const std::string& base, int32_t topic, int32_t language);

// The base address to use for a configured value: fallback when there is
// none or it is blank; otherwise the value without surrounding blanks, with a
// "/" added when it does not end in one (a base written without it would
// otherwise glue the page name onto the host or the last folder name).
std::string EffectiveHelpBase(const std::optional<std::string>& configured,
                              const std::string& fallback = kDefaultHelpBase);

// Whether pages under base come from this machine: a file address, or a web
// address whose host is a loopback name or address. Such pages need no
// network, so context help never refuses them as "not online".
bool HelpBaseIsOnThisMachine(const std::string& base);

// The value of "HelpBase" in section "Prefs" of a settings file's text
// (section and key names in any letter case, the last occurrence wins, CR LF
// or LF line ends); nullopt when there is none.
std::optional<std::string> HelpBaseFromSettingsText(const std::string& settingsText);

// The short HTML page the help window shows instead of a page that could not
// be loaded (the server does not have it, or cannot be reached). address and
// reason are shown as plain text.
std::string FailedLoadPage(const std::string& address, const std::string& reason);
