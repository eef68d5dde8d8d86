#include "help/help_topics.h"

#include <array>

namespace {

constexpr std::array<THelpElement, 51> kElements{{
    // Tool buttons, bar by bar.
    {"ToolOpen", kTopicToolOpen},
    {"ToolSave", kTopicSave},
    {"ToolCopy", kTopicCopy},
    {"ToolPaste", kTopicPaste},
    {"ToolTransform", kTopicTransform},
    {"Toolundo", kTopicUndo},
    {"ToolRec", kTopicRectangle},
    {"ToolElipse", kTopicEllipse},
    {"ToolStempel", kTopicSmooth},
    {"ToolMirror", 0},
    {"ToolResize", kTopicResize},
    {"ToolZoom", kTopicZoom},
    {"ToolHelp", kTopicContextHelp},
    {"Toolapply", kTopicApplyFilter},
    {"ToolBatchrun", kTopicBatchRun},
    {"ToolFilter", kTopicViewFilter},
    {"ToolLoadFilter", kTopicOpenFilter},
    {"ToolSaveFilter", kTopicSaveFilter},
    {"ToolFindScreen", kTopicFindScreen},
    {"ToolCompare", kTopicCompare},
    {"ToolDe", kTopicLanguage},
    {"Toolgb", kTopicLanguage},
    // Menu items.
    {"Open1", 0},
    {"Save1", kTopicSave},
    {"Schlieen1", 0},
    {"Beenden1", 0},
    {"Copy1", kTopicCopy},
    {"Paste1", kTopicPaste},
    {"Transform1", kTopicTransform},
    {"Bereichgltten1", 0},
    {"Zoom1", 0},
    {"Rechteck1", kTopicRectangle},
    {"Kreis1", kTopicEllipse},
    {"ApplyFilter1", kTopicApplyFilter},
    {"Batchrun1", kTopicBatchRun},
    {"OpenFilter1", kTopicOpenFilter},
    {"SaveFilter1", kTopicSaveFilter},
    {"Filteransehen1", kTopicViewFilter},
    {"FindScreen1", kTopicFindScreen},
    {"FastTransform1", kTopicFastTransform},
    {"SetWatermark1", kTopicWatermark},
    {"CheckWatermark1", kTopicWatermark},
    {"Contexthelp1", kTopicContextHelp},
    {"versioninfo1", 0},
    {"about1", 0},
    // The rest of the window.
    {"StatusBar", kTopicStatusBar},
    {"TrackKontrast", kTopicContrast},
    {"Image1", 0},
    {"Shape", 0},
    {"Image2", 0},
    {"ScrollBox1", 0},
}};

constexpr std::array<int32_t, 24> kPageTopics{
    kTopicToolOpen,      kTopicSave,        kTopicCopy,        kTopicPaste,    kTopicTransform,
    kTopicUndo,          kTopicRectangle,   kTopicEllipse,     kTopicSmooth,   kTopicResize,
    kTopicZoom,          kTopicContextHelp, kTopicApplyFilter, kTopicBatchRun, kTopicViewFilter,
    kTopicOpenFilter,    kTopicSaveFilter,  kTopicFindScreen,  kTopicCompare,  kTopicLanguage,
    kTopicFastTransform, kTopicWatermark,   kTopicStatusBar,   kTopicContrast,
};

} // namespace

std::span<const THelpElement> HelpElements() {
    return kElements;
}

std::span<const int32_t> HelpPageTopics() {
    return kPageTopics;
}

int32_t HelpTopicOf(std::string_view elementName) {
    for (const THelpElement& e : kElements)
        if (e.Name == elementName) return e.Topic;
    return 0;
}
