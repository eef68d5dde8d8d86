#pragma once
// Which commands the main window offers in which command state, as a pure
// function on an abstract set of named controls. The window keeps one object
// per control; SetCommandState only hands the controls' current enabled
// states to ApplyCommandState and writes the result back, so the whole table
// (and the menu mirroring that follows it) is tested here without widgets.
//
// Command states: 0 no image, 1 image shown, 2 spectrum shown. The value 3 is
// not a state but the event "a filter entry was recorded or a filter file was
// loaded"; it changes some controls and leaves the stored state alone.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// Every control whose enabled state the command states touch or that the
// dispatch tests: the tool buttons, the contrast slider and the menu items,
// named as the window names them.
enum class TControlId : uint8_t {
    // Tool buttons, in the order of the tool bars.
    ToolOpen,
    ToolSave,
    ToolCopy,
    ToolPaste,
    ToolTransform,
    Toolundo,
    ToolRec,
    ToolElipse,
    ToolStempel,
    ToolMirror,
    ToolResize,
    ToolZoom,
    ToolHelp,
    Toolapply,
    ToolBatchrun,
    ToolFilter,
    ToolLoadFilter,
    ToolSaveFilter,
    ToolDe,
    Toolgb,
    // The contrast slider: enabled flag unused, its visibility is switched.
    TrackKontrast,
    // Menu items, in the order of the menu.
    Open1,
    Save1,
    Schlieen1,
    Beenden1,
    Copy1,
    Paste1,
    Transform1,
    Bereichgltten1,
    Zoom1,
    Rechteck1,
    Kreis1,
    ApplyFilter1,
    Batchrun1,
    OpenFilter1,
    SaveFilter1,
    Filteransehen1,
    SetWatermark1,
    CheckWatermark1,
    Contexthelp1,
    versioninfo1,
    about1,
};

inline constexpr size_t kControlCount = size_t(TControlId::about1) + 1;

// The control's name as the window gives it ("ToolOpen", "Schlieen1", ...).
std::string_view ControlName(TControlId id);
// The control of that name, or none.
std::optional<TControlId> ControlByName(std::string_view name);

// The enabled flags of all controls, plus the slider's visibility.
struct TControlStates {
    std::array<bool, kControlCount> Enabled{};
    bool KontrastVisible = false;

    bool operator[](TControlId id) const { return Enabled[size_t(id)]; }
    bool& operator[](TControlId id) { return Enabled[size_t(id)]; }
    bool operator==(const TControlStates&) const = default;
};

// The states as designed, before the creation step puts the window into
// state 0: the tool buttons as the tool bar table gives them, every menu item
// enabled, the slider visible.
TControlStates DesignedControlStates();

// What SetCommandState leaves behind.
struct TCommandStateResult {
    TControlStates States;
    uint8_t CommandState = 0; // the stored state after the call
};

// SetCommandState without the window: applies the row of `state` (0, 1, 2 or
// event 3) to `previous`, stores the state unless it is 3, then mirrors the
// tool buttons into their menu items. `commandState` is the stored state
// before the call (event 3 reads it), `filterEntries` the number of lines of
// the filter list, `undoSteps` the number of user actions on the spectrum
// shown that Undo can take back (Undo is on only in state 2 with at least
// one). A value above 3 applies no row and stores nothing; the mirroring
// still runs.
TCommandStateResult ApplyCommandState(uint8_t state, uint8_t commandState,
                                      const TControlStates& previous, size_t filterEntries,
                                      size_t undoSteps = 0);

// A tool button and the menu item that runs the same handler.
struct TMenuMirror {
    TControlId Button;
    TControlId MenuItem;
};

// The fifteen button/menu item pairs, in tool bar order.
const std::array<TMenuMirror, 15>& MenuMirrorPairs();

// The menu's half of a state change: every paired menu item takes its
// button's enabled state; the others (Schlieen1, Beenden1, the watermark
// items, versioninfo1, about1) keep theirs.
void MirrorMenuItems(TControlStates& states);

// The commands of the window and the guard steps their handlers take first.
enum class TCommand : uint8_t {
    OpenImage,
    SaveImage,
    CloseImage,
    Quit,
    Copy,
    Paste,
    Transform,
    SmoothArea,
    Undo,
    ZoomWindow,
    Rectangle,
    Ellipse,
    Resize,
    ApplyFilter,
    BatchRun,
    ViewFilter,
    OpenFilter,
    SaveFilter,
    ContextHelp,
    VersionInfo,
    About,
    German,
    English,
    Contrast,
    ImageClick,
    StatusBarClick,
    SetWatermark,
    CheckWatermark,
};

// Guard steps: "help" = in help mode show the sender's help page, leave help
// mode and stop; "enabled" = stop when the guard button is disabled.
enum class TDispatchSteps : uint8_t {
    HelpThenEnabled, // most commands
    EnabledThenHelp, // the zoom window
    HelpOnly,        // commands whose button state says nothing (Undo, Quit, ...)
    None,            // Resize, Version information, About: run even in help mode
};

struct TDispatchGuard {
    TDispatchSteps Steps;
    std::optional<TControlId> Button; // tested by the enabled step
};

// The guard of a command. Close tests its own menu item, so it acts on the
// image and on the spectrum alike (after asking about unsaved work).
TDispatchGuard DispatchGuard(TCommand command);
