#include "shell/command_state.h"

#include <iterator>
#include <type_traits>

namespace {

using C = TControlId;

#define PIXMEND_CONTROL_NAME(field) #field,
constexpr std::array<std::string_view, kControlCount> kNames{
    PIXMEND_CONTROLS(PIXMEND_CONTROL_NAME)};
#undef PIXMEND_CONTROL_NAME

// The command table with the window's parts (fields, handlers, topics) left
// out: the ids of a command's controls and its guard.
struct TCommandRow {
    TCommand Command;
    std::optional<TControlId> Button;
    std::optional<TControlId> MenuItem;
    TDispatchSteps Steps;
    std::optional<TControlId> Guard;
    TBusyRule Busy;
    TCommandTexts Texts;
};

namespace ids {
constexpr std::optional<TControlId> None;
#define PIXMEND_CONTROL_ID(field) constexpr std::optional<TControlId> field{TControlId::field};
PIXMEND_CONTROLS(PIXMEND_CONTROL_ID)
#undef PIXMEND_CONTROL_ID
} // namespace ids

#define PIXMEND_COMMAND_ROW(command, button, buttonTopic, item, itemTopic, handler, steps, guard,  \
                            busy, key, icon, hint, caption, german, english)                       \
    {TCommand::command,                                                                            \
     ids::button,                                                                                  \
     ids::item,                                                                                    \
     TDispatchSteps::steps,                                                                        \
     ids::guard,                                                                                   \
     TBusyRule::busy,                                                                              \
     {key, icon, hint, caption, german, english}},
constexpr TCommandRow kCommands[] = {PIXMEND_COMMANDS(PIXMEND_COMMAND_ROW)};
#undef PIXMEND_COMMAND_ROW

constexpr bool RowsInCommandOrder() {
    for (size_t i = 0; i < std::size(kCommands); ++i)
        if (size_t(kCommands[i].Command) != i) return false;
    return true;
}
static_assert(RowsInCommandOrder());

// A command with a tool button and a menu item mirrors them.
constexpr size_t MirrorCount() {
    size_t n = 0;
    for (const TCommandRow& row : kCommands) n += row.Button && row.MenuItem ? 1 : 0;
    return n;
}
static_assert(MirrorCount() == std::tuple_size_v<std::remove_cvref_t<decltype(MenuMirrorPairs())>>);

constexpr auto kMirrors = [] {
    std::array<TMenuMirror, MirrorCount()> pairs{};
    size_t n = 0;
    for (const TCommandRow& row : kCommands)
        if (row.Button && row.MenuItem) pairs[n++] = {*row.Button, *row.MenuItem};
    return pairs;
}();

// One cell of the table: switch on, switch off, or leave as it is.
enum class Cell : uint8_t { On, Off, Keep };

struct Row {
    TControlId Control;
    Cell State[4]; // states 0, 1, 2 and event 3
};

constexpr Cell On = Cell::On;
constexpr Cell Off = Cell::Off;
constexpr Cell Keep = Cell::Keep;

// The rows whose cells do not depend on anything but the state. Toolapply
// (filter list, stored state) and the slider (visibility) are handled apart.
constexpr Row kRows[] = {
    {C::ToolOpen, {On, On, Off, Keep}},
    {C::ToolSave, {Off, On, Off, Keep}},
    {C::Schlieen1, {Off, On, On, Keep}},
    {C::ToolCopy, {Off, On, Off, Keep}},
    {C::ToolPaste, {On, On, Off, Keep}},
    {C::ToolTransform, {Off, On, On, Keep}},
    {C::ToolZoom, {Off, On, On, Keep}},
    {C::Toolundo, {Off, Off, Keep, Keep}},
    {C::ToolRec, {Off, Off, On, Keep}},
    {C::ToolElipse, {Off, Off, On, Keep}},
    {C::ToolStempel, {Off, Off, On, Keep}},
    {C::ToolResize, {Off, Off, On, Keep}},
    {C::ToolBatchrun, {Off, On, Off, On}},
    {C::ToolFilter, {Off, Keep, Keep, On}},
    {C::ToolLoadFilter, {On, Keep, Keep, Keep}},
    {C::ToolSaveFilter, {Off, Keep, Keep, On}},
    // On the picture it opens the screen window; on the spectrum it damps at once.
    {C::ToolFindScreen, {Off, On, On, Keep}},
    // The view's zoom, wherever there is a picture to zoom.
    {C::ZoomIn1, {Off, On, On, Keep}},
    {C::ZoomOut1, {Off, On, On, Keep}},
    {C::FitWindow1, {Off, On, On, Keep}},
    {C::ActualSize1, {Off, On, On, Keep}},
    // The watermark works on whatever the store holds, image or spectrum.
    {C::SetWatermark1, {Off, On, On, Keep}},
    {C::CheckWatermark1, {Off, On, On, Keep}},
};

void ApplyCell(bool& enabled, Cell cell) {
    if (cell == Cell::On)
        enabled = true;
    else if (cell == Cell::Off)
        enabled = false;
}

} // namespace

std::string_view ControlName(TControlId id) {
    return kNames[size_t(id)];
}

std::optional<TControlId> ControlByName(std::string_view name) {
    for (size_t i = 0; i < kControlCount; ++i)
        if (kNames[i] == name) return TControlId(i);
    return std::nullopt;
}

TControlStates DesignedControlStates() {
    TControlStates s;
    s.Enabled.fill(true);
    for (TControlId off :
         {C::ToolSave, C::ToolCopy, C::Toolundo, C::ToolRec, C::ToolElipse, C::ToolStempel,
          C::ToolResize, C::Toolapply, C::ToolBatchrun, C::ToolFilter, C::ToolSaveFilter,
          C::ToolCompare, C::ToolFindScreen, C::Redo1, C::NewFilter1})
        s[off] = false;
    s.KontrastVisible = true;
    return s;
}

const std::array<TMenuMirror, 17>& MenuMirrorPairs() {
    return kMirrors;
}

void MirrorMenuItems(TControlStates& states) {
    for (const TMenuMirror& pair : kMirrors) states[pair.MenuItem] = states[pair.Button];
}

TCommandStateResult ApplyCommandState(uint8_t state, uint8_t commandState,
                                      const TControlStates& previous, size_t filterEntries,
                                      size_t undoSteps, bool beforePicture, size_t redoSteps) {
    TCommandStateResult result{previous, commandState};
    TControlStates& s = result.States;
    if (state <= csFilterEvent) {
        // Before and after compares a filtered picture with the one loaded.
        if (state != csFilterEvent) s[C::ToolCompare] = state == csImage && beforePicture;
        for (const Row& row : kRows) ApplyCell(s[row.Control], row.State[state]);
        switch (state) {
        case csNoImage:
            s[C::Toolapply] = false;
            s[C::Redo1] = false;
            s.KontrastVisible = false;
            break;
        case csImage:
            s[C::Toolapply] = filterEntries > 0;
            s[C::Redo1] = false;
            s.KontrastVisible = false;
            break;
        case csSpectrum:
            s[C::Toolapply] = false;
            s[C::Toolundo] = undoSteps > 0;
            s[C::Redo1] = redoSteps > 0;
            s.KontrastVisible = true;
            break;
        default:
            // The event only offers Apply filter where it can run: on an image.
            if (commandState == csImage) s[C::Toolapply] = true;
            // Undo follows what there is to undo on the spectrum shown.
            if (commandState == csSpectrum) {
                s[C::Toolundo] = undoSteps > 0;
                s[C::Redo1] = redoSteps > 0;
            }
            break;
        }
        if (state != csFilterEvent) result.CommandState = state;
    }
    MirrorMenuItems(s);
    return result;
}

TDispatchGuard DispatchGuard(TCommand command) {
    const TCommandRow& row = kCommands[size_t(command)];
    return {row.Steps, row.Guard};
}

bool BlockedWhileBusy(TCommand command) {
    return kCommands[size_t(command)].Busy == TBusyRule::Blocked;
}

void BlockBusyCommands(TControlStates& states) {
    for (const TCommandRow& row : kCommands) {
        if (row.Busy != TBusyRule::Blocked) continue;
        if (row.Button)
            states[*row.Button] = false;
        else if (row.MenuItem)
            states[*row.MenuItem] = false;
    }
    MirrorMenuItems(states);
}

#define PIXMEND_COMMAND_NAME(command, ...) #command,
constexpr std::string_view kCommandNames[] = {PIXMEND_COMMANDS(PIXMEND_COMMAND_NAME)};
#undef PIXMEND_COMMAND_NAME

std::string_view CommandName(TCommand command) {
    return kCommandNames[size_t(command)];
}

const TCommandTexts& CommandTexts(TCommand command) {
    return kCommands[size_t(command)].Texts;
}

std::optional<TCommand> CommandOfControl(TControlId control) {
    for (const TCommandRow& row : kCommands)
        if (row.Button == control || row.MenuItem == control) return row.Command;
    return std::nullopt;
}
