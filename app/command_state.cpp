#include "app/command_state.h"

namespace {

using C = TControlId;

constexpr std::array<std::string_view, kControlCount> kNames{
    "ToolOpen",      "ToolSave",       "ToolCopy",       "ToolPaste",      "ToolTransform",
    "Toolundo",      "ToolRec",        "ToolElipse",     "ToolStempel",    "ToolMirror",
    "ToolResize",    "ToolZoom",       "ToolHelp",       "Toolapply",      "ToolBatchrun",
    "ToolFilter",    "ToolLoadFilter", "ToolSaveFilter", "ToolDe",         "Toolgb",
    "TrackKontrast", "Open1",          "Save1",          "Schlieen1",      "Beenden1",
    "Copy1",         "Paste1",         "Transform1",     "Bereichgltten1", "Zoom1",
    "Rechteck1",     "Kreis1",         "ApplyFilter1",   "Batchrun1",      "OpenFilter1",
    "SaveFilter1",   "Filteransehen1", "SetWatermark1",  "CheckWatermark1", "Contexthelp1",
    "versioninfo1",  "about1",
};

constexpr std::array<TMenuMirror, 15> kMirrors{{
    {C::ToolOpen, C::Open1},
    {C::ToolSave, C::Save1},
    {C::ToolCopy, C::Copy1},
    {C::ToolPaste, C::Paste1},
    {C::ToolTransform, C::Transform1},
    {C::ToolStempel, C::Bereichgltten1},
    {C::ToolZoom, C::Zoom1},
    {C::ToolRec, C::Rechteck1},
    {C::ToolElipse, C::Kreis1},
    {C::Toolapply, C::ApplyFilter1},
    {C::ToolBatchrun, C::Batchrun1},
    {C::ToolFilter, C::Filteransehen1},
    {C::ToolLoadFilter, C::OpenFilter1},
    {C::ToolSaveFilter, C::SaveFilter1},
    {C::ToolHelp, C::Contexthelp1},
}};

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
    {C::ToolOpen, {On, On, Off, Keep}},          {C::ToolSave, {Off, On, Off, Keep}},
    {C::Schlieen1, {Off, On, On, Keep}},         {C::ToolCopy, {Off, On, Off, Keep}},
    {C::ToolPaste, {On, On, Off, Keep}},         {C::ToolTransform, {Off, On, On, Keep}},
    {C::ToolZoom, {Off, On, On, Keep}},          {C::Toolundo, {Off, Off, Keep, Keep}},
    {C::ToolRec, {Off, Off, On, Keep}},          {C::ToolElipse, {Off, Off, On, Keep}},
    {C::ToolStempel, {Off, Off, On, Keep}},      {C::ToolResize, {Off, Off, On, Keep}},
    {C::ToolBatchrun, {Off, On, Off, On}},       {C::ToolFilter, {Off, Keep, Keep, On}},
    {C::ToolLoadFilter, {On, Keep, Keep, Keep}}, {C::ToolSaveFilter, {Off, Keep, Keep, On}},
    // The watermark works on whatever the store holds, image or spectrum.
    {C::SetWatermark1, {Off, On, On, Keep}},     {C::CheckWatermark1, {Off, On, On, Keep}},
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
          C::ToolResize, C::Toolapply, C::ToolBatchrun, C::ToolFilter, C::ToolSaveFilter})
        s[off] = false;
    s.KontrastVisible = true;
    return s;
}

const std::array<TMenuMirror, 15>& MenuMirrorPairs() {
    return kMirrors;
}

void MirrorMenuItems(TControlStates& states) {
    for (const TMenuMirror& pair : kMirrors)
        states[pair.MenuItem] = states[pair.Button];
}

TCommandStateResult ApplyCommandState(uint8_t state, uint8_t commandState,
                                      const TControlStates& previous, size_t filterEntries,
                                      size_t undoSteps) {
    TCommandStateResult result{previous, commandState};
    TControlStates& s = result.States;
    if (state <= 3) {
        for (const Row& row : kRows)
            ApplyCell(s[row.Control], row.State[state]);
        switch (state) {
        case 0:
            s[C::Toolapply] = false;
            s.KontrastVisible = false;
            break;
        case 1:
            s[C::Toolapply] = filterEntries > 0;
            s.KontrastVisible = false;
            break;
        case 2:
            s[C::Toolapply] = false;
            s[C::Toolundo] = undoSteps > 0;
            s.KontrastVisible = true;
            break;
        default:
            // The event only offers Apply filter where it can run: on an image.
            if (commandState == 1) s[C::Toolapply] = true;
            // Undo follows what there is to undo on the spectrum shown.
            if (commandState == 2) s[C::Toolundo] = undoSteps > 0;
            break;
        }
        if (state != 3) result.CommandState = state;
    }
    MirrorMenuItems(s);
    return result;
}

TDispatchGuard DispatchGuard(TCommand command) {
    using D = TDispatchSteps;
    switch (command) {
    case TCommand::OpenImage:
        return {D::HelpThenEnabled, C::ToolOpen};
    case TCommand::SaveImage:
        return {D::HelpThenEnabled, C::ToolSave};
    case TCommand::CloseImage:
        return {D::HelpThenEnabled, C::Schlieen1};
    case TCommand::Copy:
        return {D::HelpThenEnabled, C::ToolCopy};
    case TCommand::Paste:
        return {D::HelpThenEnabled, C::ToolPaste};
    case TCommand::Transform:
        return {D::HelpThenEnabled, C::ToolTransform};
    case TCommand::ApplyFilter:
        return {D::HelpThenEnabled, C::Toolapply};
    case TCommand::BatchRun:
        return {D::HelpThenEnabled, C::ToolBatchrun};
    case TCommand::ViewFilter:
        return {D::HelpThenEnabled, C::ToolFilter};
    case TCommand::OpenFilter:
        return {D::HelpThenEnabled, C::ToolLoadFilter};
    case TCommand::SaveFilter:
        return {D::HelpThenEnabled, C::ToolSaveFilter};
    case TCommand::ZoomWindow:
        return {D::EnabledThenHelp, C::ToolZoom};
    case TCommand::Resize:
    case TCommand::VersionInfo:
    case TCommand::About:
        return {D::None, std::nullopt};
    case TCommand::Quit:
    case TCommand::SmoothArea:
    case TCommand::Undo:
    case TCommand::Rectangle:
    case TCommand::Ellipse:
    case TCommand::ContextHelp:
    case TCommand::German:
    case TCommand::English:
    case TCommand::Contrast:
    case TCommand::ImageClick:
    case TCommand::StatusBarClick:
    // The watermark commands need a filled store; on an empty one they
    // raise the division error themselves, after the sign prompt.
    case TCommand::SetWatermark:
    case TCommand::CheckWatermark:
        break;
    }
    return {D::HelpOnly, std::nullopt};
}
