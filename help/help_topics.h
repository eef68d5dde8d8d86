#pragma once
// The help topics of the main window's elements, as the command table
// (shell/command_table.h) gives them to each button and menu item, plus the
// window's parts that are no command's: the list that context help and the
// help pages (one per topic and language) are checked against.
//
// An element has a help page exactly when its topic is greater than 100.
// Elements listed with topic 0 have none; the image view uses its own topic
// field for other purposes and never has a page. A menu item that runs the
// same command as a tool button mostly shares the button's topic, but not
// always (Open1, Bereichgltten1 and Zoom1 have none), so the sender matters.

#include <cstdint>
#include <span>
#include <string_view>

struct THelpElement {
    std::string_view Name; // control or menu item name, as in the window
    int32_t Topic = 0;     // 0: no help page
};

// The topics that have pages, for code that names one of them.
inline constexpr int32_t kTopicToolOpen = 829470095;
inline constexpr int32_t kTopicSave = 588849925;
inline constexpr int32_t kTopicCopy = 238403060;
inline constexpr int32_t kTopicPaste = 428236487;
inline constexpr int32_t kTopicTransform = 799439024;
inline constexpr int32_t kTopicUndo = 126958579;
inline constexpr int32_t kTopicRectangle = 935897028;
inline constexpr int32_t kTopicEllipse = 434884197;
inline constexpr int32_t kTopicSmooth = 657374138;
inline constexpr int32_t kTopicApplyFilter = 314881646;
inline constexpr int32_t kTopicBatchRun = 592430739;
inline constexpr int32_t kTopicViewFilter = 922769153;
inline constexpr int32_t kTopicOpenFilter = 284717369;
inline constexpr int32_t kTopicSaveFilter = 252075645;
inline constexpr int32_t kTopicZoom = 832006858;
inline constexpr int32_t kTopicContextHelp = 476602861;
inline constexpr int32_t kTopicLanguage = 782302679;
inline constexpr int32_t kTopicStatusBar = 223575831;
inline constexpr int32_t kTopicContrast = 180698650;
inline constexpr int32_t kTopicFindScreen = 611047293;
inline constexpr int32_t kTopicResize = 347120958;
inline constexpr int32_t kTopicWatermark = 563908214;
inline constexpr int32_t kTopicCompare = 718245903;
inline constexpr int32_t kTopicFastTransform = 905316472;

// Topics up to this value mean "no page".
inline constexpr int32_t kLastTopicWithoutPage = 100;

// True when an element with this topic has a help page.
constexpr bool HasHelpPage(int32_t topic) {
    return topic > kLastTopicWithoutPage;
}

// Every control and menu item of the main window that context help can be
// asked about, with its topic (0 for none), in layout order.
std::span<const THelpElement> HelpElements();

// The distinct topics that have a page, each once, in the order of first use.
std::span<const int32_t> HelpPageTopics();

// The topic of a named element; 0 for elements without a page and for names
// that are not in the list.
int32_t HelpTopicOf(std::string_view elementName);
