#include "help/help_topics.h"

#include "shell/command_table.h"

#include <algorithm>
#include <vector>

namespace {

// The topics a command's row gives its button and its menu item.
struct TRowTopics {
    std::string_view Button;
    int32_t ButtonTopic;
    std::string_view Item;
    int32_t ItemTopic;
};

#define PIXMEND_ROW_TOPICS(command, button, buttonTopic, item, itemTopic, ...)                     \
    TRowTopics{#button, buttonTopic, #item, itemTopic},
constexpr TRowTopics kRows[] = {PIXMEND_COMMANDS(PIXMEND_ROW_TOPICS)};
#undef PIXMEND_ROW_TOPICS

// The parts of the window that are no command's button or item: their topics
// are their own (the slider and the status bar have pages, the view has none).
constexpr THelpElement kWindowParts[] = {
    {"TrackKontrast", kTopicContrast},
    {"StatusBar", kTopicStatusBar},
    {"Image1", 0},
    {"Shape", 0},
    {"Image2", 0},
    {"ScrollBox1", 0},
};

constexpr int32_t TopicOfControl(std::string_view name) {
    for (const TRowTopics& row : kRows) {
        if (row.Button == name) return row.ButtonTopic;
        if (row.Item == name) return row.ItemTopic;
    }
    for (const THelpElement& part : kWindowParts)
        if (part.Name == name) return part.Topic;
    return 0;
}

#define PIXMEND_CONTROL_ELEMENT(field) THelpElement{#field, TopicOfControl(#field)},
constexpr THelpElement kControls[] = {PIXMEND_CONTROLS(PIXMEND_CONTROL_ELEMENT)};
#undef PIXMEND_CONTROL_ELEMENT

std::vector<THelpElement> MakeElements() {
    std::vector<THelpElement> elements(std::begin(kControls), std::end(kControls));
    for (const THelpElement& part : kWindowParts)
        if (std::none_of(elements.begin(), elements.end(),
                         [&](const THelpElement& e) { return e.Name == part.Name; }))
            elements.push_back(part);
    return elements;
}

std::vector<int32_t> MakePageTopics(const std::vector<THelpElement>& elements) {
    std::vector<int32_t> topics;
    for (const THelpElement& e : elements)
        if (HasHelpPage(e.Topic) &&
            std::find(topics.begin(), topics.end(), e.Topic) == topics.end())
            topics.push_back(e.Topic);
    return topics;
}

const std::vector<THelpElement>& Elements() {
    static const std::vector<THelpElement> elements = MakeElements();
    return elements;
}

} // namespace

std::span<const THelpElement> HelpElements() {
    return Elements();
}

std::span<const int32_t> HelpPageTopics() {
    static const std::vector<int32_t> topics = MakePageTopics(Elements());
    return topics;
}

int32_t HelpTopicOf(std::string_view elementName) {
    for (const THelpElement& e : Elements())
        if (e.Name == elementName) return e.Topic;
    return 0;
}
