#pragma once
// What a help request leads to, decided without any window: the window's
// ShowHelpPage carries out the answer (a notice box, or the help window
// navigating to the address), and ShowElementHelp ends help mode whatever
// the answer was.
//
// The online test comes first, and guards only pages on another machine:
// without a network address even an element without a page gets the offline
// notice, while pages on this machine (the shipped pages, a loopback server)
// are always shown. The offline notice is the same in both interface
// languages; the one for an element without a page is in the interface's.

#include <cstdint>
#include <string>

// The three lines of the offline notice, joined by "\n" for one message box.
inline constexpr const char* kOfflineNotice =
    "Sorry, you are not online.\nFor accessing the helpsystem\nyou have to be connected to the "
    "internet.";

enum class THelpAnswer : uint8_t {
    OfflineNotice, // show kOfflineNotice; the help window stays as it is
    NoHelpNotice,  // show the notice that the element has no help page
    ShowPage,      // show (or raise) the help window and navigate to PageAddress
};

struct THelpDecision {
    THelpAnswer Answer = THelpAnswer::OfflineNotice;
    std::string PageAddress; // set for ShowPage only
    std::string Notice;      // the notice text for the two notices, else empty
};

// The answer to a request for the page of an element with the given topic
// (0 for elements without one, or senders that are no control or menu item),
// in interface language number language, with help pages under base.
THelpDecision DecideHelpPage(bool online, int32_t topic, int32_t language, const std::string& base);

// What a click on the context-help command does: in help mode it shows the
// help of its own sender (and so ends help mode), otherwise it turns help
// mode on.
enum class TContextHelpAction : uint8_t { ShowSenderHelp, EnterHelpMode };
constexpr TContextHelpAction ContextHelpClickAction(bool helpMode) {
    return helpMode ? TContextHelpAction::ShowSenderHelp : TContextHelpAction::EnterHelpMode;
}
