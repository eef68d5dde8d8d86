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

#include "shell/command_table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The command states and the filter event by name (the values are those
// SetCommandState takes).
enum TCommandState : uint8_t {
    csNoImage = 0,
    csImage = 1,
    csSpectrum = 2,
    csFilterEvent = 3,  // an event, not a state: a filter entry was recorded or a filter loaded
    csMirrorOnly = 255, // applies no row: only mirrors the menu
};

#define PIXMEND_CONTROL_ID(field) field,
#define PIXMEND_CONTROL_COUNT(field) +1
// The controls of PIXMEND_CONTROLS, named as the window names them.
enum class TControlId : uint8_t { PIXMEND_CONTROLS(PIXMEND_CONTROL_ID) };
inline constexpr size_t kControlCount = 0 PIXMEND_CONTROLS(PIXMEND_CONTROL_COUNT);
#undef PIXMEND_CONTROL_COUNT
#undef PIXMEND_CONTROL_ID

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
// one; Redo likewise with `redoSteps`), `beforePicture` whether the picture as loaded is kept
// beside the filtered one (Before and after is on only on an image that has one). A value above 3
// applies no row and stores nothing; the mirroring still runs.
TCommandStateResult ApplyCommandState(uint8_t state, uint8_t commandState,
                                      const TControlStates& previous, size_t filterEntries,
                                      size_t undoSteps = 0, bool beforePicture = false,
                                      size_t redoSteps = 0);

// A tool button and the menu item that runs the same handler.
struct TMenuMirror {
    TControlId Button;
    TControlId MenuItem;
};

// The button/menu item pairs: the commands with both, in table order.
const std::array<TMenuMirror, 17>& MenuMirrorPairs();

// The menu's half of a state change: every paired menu item takes its
// button's enabled state; the others (Schlieen1, Beenden1, the watermark
// items, versioninfo1, about1) keep theirs.
void MirrorMenuItems(TControlStates& states);

// Whether a command may run while the window is busy.
enum class TBusyRule : uint8_t { Free, Blocked };

// A command's key, icon and texts, as its row writes them.
struct TCommandTexts {
    std::string_view Key;     // "F2", "F2;Ctrl+O"; empty for none
    std::string_view Icon;    // a picture's name, "painted:..." for a drawn one; empty for none
    std::string_view Hint;    // the button's designed hint (German), translated by the tables
    std::string_view Caption; // the menu item's designed caption (German), likewise
    std::string_view German;  // the text of a command the tables do not know, in German
    std::string_view English; // and in English
};

#define PIXMEND_COMMAND_ID(command, ...) command,
// The commands of PIXMEND_COMMANDS and the guard steps their handlers take first.
enum class TCommand : uint8_t { PIXMEND_COMMANDS(PIXMEND_COMMAND_ID) };
#undef PIXMEND_COMMAND_ID

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

// The guard of a command, as its row gives it.
TDispatchGuard DispatchGuard(TCommand command);

// True when the command's row says it may not run while a transform or a
// batch run goes on.
bool BlockedWhileBusy(TCommand command);
// Switches off the controls of every command that may not run while the
// window is busy (the button where there is one, else the menu item), then
// mirrors the menu.
void BlockBusyCommands(TControlStates& states);

// The command's name as its row gives it ("OpenImage", "Compare", ...).
std::string_view CommandName(TCommand command);
// What a command's row says about how it looks (see command_table.h).
const TCommandTexts& CommandTexts(TCommand command);
// The command a tool button or menu item belongs to.
std::optional<TCommand> CommandOfControl(TControlId control);
