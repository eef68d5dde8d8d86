#pragma once
// The settings file: an INI-format text file named "Pixmend" in the user's
// configuration folder that carries the main window's placement, the tool bar
// positions, the switch states and the interface language from one run to the
// next.
//
//   [TForm1]
//   FormVersion=0
//   Flags=0
//   ShowCmd=3                      1 normal, 2 minimised, 3 maximised
//   PixelsPerInch=96
//   MinMaxPos=-1,-1,-1,-1          minimised x,y, maximised x,y
//   NormPos=10,20,949,764          left,top,right,bottom of the normal window
//   Visible=1
//   ToolBar_Left=11   (then ToolBar1_, ToolBar2_, ToolLanguage_, ToolShape_Left)
//   ToolMirror_Down=True   (then Toolgb_Down, ToolDe_Down)
//
//   [Prefs]
//   Lang=2
//   HelpBase=...        only when the user configured a help server
//   FastTransform=True  only when the fast transform is chosen
//
//   [Recent]            only when a file was opened or saved
//   File1=/path/of/the/newest   (then File2, ... up to File8)
//
// The keys are always written in this order. Reading never fails on content:
// a missing file, a missing key or a bad number gives the documented default.
// Only a file that exists but cannot be read, or cannot be written, raises
// EFileError; the window reports it and carries on (with DefaultSettings()
// when reading failed). Writing replaces the file atomically, so an
// interrupted write never leaves a truncated settings file.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TPoint32 {
    int32_t X = 0;
    int32_t Y = 0;
    bool operator==(const TPoint32&) const = default;
};

struct TRect32 {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    bool operator==(const TRect32&) const = default;
};

enum class TShowState : uint8_t { Normal, Minimized, Maximized };

// The "ShowCmd" number of a show state (1, 2, 3).
int32_t ShowCmdOf(TShowState state);
// The show state a stored "ShowCmd" asks for: 1, 5, 9 normal; 2, 6, 7
// minimised; 3 and every other value maximised.
TShowState ShowStateOfCmd(int32_t showCmd);

// Everything written, in the window's terms.
struct TSettingsRecord {
    int32_t Flags = 0;
    TShowState ShowState = TShowState::Maximized;
    int32_t PixelsPerInch = 96;
    TPoint32 MinPosition{-1, -1};
    TPoint32 MaxPosition{-1, -1};
    TRect32 NormalPosition; // the normal (not maximised) geometry, right/bottom exclusive
    bool Visible = false;   // true when written while the window is destroyed, false on close
    int32_t ToolBar_Left = 11;
    int32_t ToolBar1_Left = 482;
    int32_t ToolBar2_Left = 390;
    int32_t ToolLanguage_Left = 636;
    int32_t ToolShape_Left = 124;
    bool ToolMirror_Down = true;
    bool Toolgb_Down = false;
    bool ToolDe_Down = true;
    int32_t Lang = 2;
    // The help server's base address as the user configured it ("Prefs",
    // "HelpBase"); carried through unchanged, written only when not empty.
    std::string HelpBase;
    // The window transforms with the fast, not bit-exact transform ("Prefs",
    // "FastTransform"); written only when on, so that the file of a user who
    // never chose it holds exactly the keys above.
    bool FastTransform = false;
    // The files the window opened or saved last, newest first ("Recent",
    // "File1", "File2", ...); the section is written only when it has one.
    std::vector<std::string> RecentFiles;
};

// What reading asks the window to do. Fields left empty mean "keep what the
// window has".
struct TRestoredSettings {
    // False when "FormVersion" is below 0: nothing else was read, the window
    // keeps its designed texts and state and no language is applied.
    bool Read = true;
    // Apply Flags, MinPosition, MaxPosition and NormalPosition.
    bool ApplyPlacement = false;
    int32_t Flags = 0;
    TPoint32 MinPosition;
    TPoint32 MaxPosition;
    TRect32 NormalPosition;
    // Normal when nothing was read; maximised when "ShowCmd" is missing.
    TShowState ShowState = TShowState::Maximized;
    std::optional<int32_t> ToolBar_Left;
    std::optional<int32_t> ToolBar1_Left;
    std::optional<int32_t> ToolBar2_Left;
    std::optional<int32_t> ToolLanguage_Left;
    std::optional<int32_t> ToolShape_Left;
    std::optional<bool> ToolMirror_Down;
    std::optional<bool> Toolgb_Down;
    std::optional<bool> ToolDe_Down;
    // The language to apply when Read is true: "Lang" as stored, 2 when it is
    // missing or not a number. Values other than 1 and 2 are passed on as
    // they are (they select the German table and leave the language buttons
    // as read).
    int32_t Lang = 2;
    // "HelpBase" in "Prefs" when present (read even when nothing else is).
    std::optional<std::string> HelpBase;
    // "FastTransform" in "Prefs"; off when missing or not a truth value.
    bool FastTransform = false;
    // "File1", "File2", ... of "Recent", up to the first missing or empty
    // one (read even when nothing else is).
    std::vector<std::string> RecentFiles;
};

// The most recent files the settings file keeps.
inline constexpr size_t kMaxRecentFiles = 8;

// The folder-qualified name of the settings file: $XDG_CONFIG_HOME/Pixmend
// when that variable holds an absolute path, else $HOME/.config/Pixmend.
std::string SettingsFilePath();

// The file's text for a record, keys in their fixed order, LF line ends.
std::string FormatSettings(const TSettingsRecord& record);

// Interprets a settings text. screenPixelsPerInch is the screen's current
// resolution; currentNormalPosition stands in for unreadable numbers of
// "NormPos". The stored placement is applied only when a position entry
// exists, the resolution matches (a missing one counts as matching) and the
// stored normal geometry has a positive width and height no larger than
// kMaxWindowExtent.
TRestoredSettings ParseSettings(const std::string& text, int32_t screenPixelsPerInch,
                                const TRect32& currentNormalPosition);

// What a first run gets: the same as parsing an empty file.
TRestoredSettings DefaultSettings(int32_t screenPixelsPerInch,
                                  const TRect32& currentNormalPosition);

// Reads and parses the file. A file that does not exist gives the defaults;
// one that exists but cannot be read (no permission, a folder, larger than
// 1 MiB) raises EFileError "Datei %s kann nicht geöffnet werden".
TRestoredSettings ReadSettingsFile(const std::string& fileName, int32_t screenPixelsPerInch,
                                   const TRect32& currentNormalPosition);

// Writes the record, creating the folder if needed. Raises EFileError
// "Datei %s kann nicht erstellt werden" when it cannot; the previous file
// then stays untouched.
void WriteSettingsFile(const std::string& fileName, const TSettingsRecord& record);

// Window extents beyond this are taken for a damaged file, not a placement.
inline constexpr int32_t kMaxWindowExtent = 32767;
