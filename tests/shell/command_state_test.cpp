// The command-state table cell by cell, the menu mirroring after every call,
// the user-visible situations (start, filter loaded, close) and the guards
// of the command dispatch.
#include "shell/command_state.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using C = TControlId;

const std::set<TControlId> kMirroredMenuItems{
    C::Open1,          C::Save1,          C::Copy1,       C::Paste1,      C::Transform1,
    C::Bereichgltten1, C::Zoom1,          C::Rechteck1,   C::Kreis1,      C::ApplyFilter1,
    C::Batchrun1,      C::Filteransehen1, C::OpenFilter1, C::SaveFilter1, C::FindScreen1,
    C::Contexthelp1,   C::Undo1};

TControlStates AllSetTo(bool enabled, bool visible) {
    TControlStates s;
    s.Enabled.fill(enabled);
    s.KontrastVisible = visible;
    return s;
}

TControlStates Random(std::mt19937& gen) {
    TControlStates s;
    for (bool& e : s.Enabled) e = (gen() & 1) != 0;
    s.KontrastVisible = (gen() & 1) != 0;
    return s;
}

// The slider's availability is its visibility, so it is left out here.
std::set<std::string> EnabledNames(const TControlStates& s) {
    std::set<std::string> names;
    for (size_t i = 0; i < kControlCount; ++i)
        if (s.Enabled[i] && TControlId(i) != C::TrackKontrast)
            names.insert(std::string(ControlName(TControlId(i))));
    return names;
}

void ExpectMirrored(const TControlStates& before, const TControlStates& after,
                    const std::string& where) {
    for (const TMenuMirror& m : MenuMirrorPairs())
        EXPECT_EQ(after[m.MenuItem], after[m.Button]) << where << " " << ControlName(m.MenuItem);
    for (TControlId item : {C::Beenden1, C::versioninfo1, C::about1})
        EXPECT_EQ(after[item], before[item]) << where << " " << ControlName(item);
}

// The commands a user finds enabled as the work goes on: no image, an image,
// its spectrum, a smoothing on it, the image again, closed. Each set is what
// the user can do at that point, stated independently of the table.
TEST(CommandState, WhatTheUserCanDoAsTheWorkGoesOn) {
    const std::set<std::string> always{"ToolOpen",     "ToolPaste", "ToolLoadFilter", "ToolHelp",
                                       "ToolMirror",   "ToolDe",    "Toolgb",         "Beenden1",
                                       "versioninfo1", "about1",    "FastTransform1"};
    auto with = [&](std::set<std::string> base, std::initializer_list<const char*> more,
                    std::initializer_list<const char*> less = {}) {
        for (const char* name : more) base.insert(name);
        for (const char* name : less) base.erase(name);
        // A menu item is on exactly when its button is.
        for (const TMenuMirror& m : MenuMirrorPairs())
            if (base.count(std::string(ControlName(m.Button))))
                base.insert(std::string(ControlName(m.MenuItem)));
        return base;
    };
    // Whatever is shown can be zoomed.
    const auto image =
        with(always, {"ToolSave", "ToolCopy", "ToolTransform", "ToolZoom", "ToolBatchrun",
                      "ToolFindScreen", "Schlieen1", "SetWatermark1", "CheckWatermark1", "ZoomIn1",
                      "ZoomOut1", "FitWindow1", "ActualSize1"});
    const auto spectrum =
        with(always,
             {"ToolTransform", "ToolZoom", "ToolRec", "ToolElipse", "ToolStempel", "ToolResize",
              "ToolFindScreen", "Schlieen1", "SetWatermark1", "CheckWatermark1", "ZoomIn1",
              "ZoomOut1", "FitWindow1", "ActualSize1"},
             {"ToolOpen", "ToolPaste"});

    TCommandStateResult r = ApplyCommandState(0, 0, DesignedControlStates(), 0);
    EXPECT_EQ(EnabledNames(r.States), with(always, {}));
    r = ApplyCommandState(1, r.CommandState, r.States, 0);
    EXPECT_EQ(EnabledNames(r.States), image);
    r = ApplyCommandState(2, r.CommandState, r.States, 0);
    EXPECT_EQ(EnabledNames(r.States), spectrum) << "nothing to undo on a fresh spectrum";
    EXPECT_TRUE(r.States.KontrastVisible);
    r = ApplyCommandState(3, r.CommandState, r.States, 2,
                          1); // a mirrored smoothing: two lines, one step
    EXPECT_EQ(EnabledNames(r.States),
              with(spectrum, {"Toolundo", "ToolBatchrun", "ToolFilter", "ToolSaveFilter"}));
    r = ApplyCommandState(1, r.CommandState, r.States, 2);
    EXPECT_EQ(EnabledNames(r.States), with(image, {"ToolFilter", "ToolSaveFilter", "Toolapply"}))
        << "back on the image the filter applies, and its commands stay";
    r = ApplyCommandState(0, r.CommandState, r.States, 2);
    EXPECT_EQ(EnabledNames(r.States), with(always, {}))
        << "closed: the filter commands wait for the next image or filter";
    EXPECT_FALSE(r.States.KontrastVisible);
}

TEST(CommandState, UndoFollowsWhatThereIsToUndo) {
    const TControlStates on = AllSetTo(true, true);
    EXPECT_FALSE(ApplyCommandState(2, 1, on, 5, 0).States[C::Toolundo])
        << "lines, but none of this spectrum";
    EXPECT_TRUE(ApplyCommandState(2, 1, on, 0, 1).States[C::Toolundo]);
    EXPECT_FALSE(ApplyCommandState(3, 2, on, 1, 0).States[C::Toolundo]) << "the last step undone";
    EXPECT_FALSE(ApplyCommandState(1, 2, on, 1, 1).States[C::Toolundo]) << "only on the spectrum";
    EXPECT_TRUE(ApplyCommandState(3, 1, on, 1, 0).States[C::Toolundo])
        << "event 3 on an image keeps it";
}

TEST(CommandState, ApplyFilterFollowsFilterListAndStoredState) {
    std::mt19937 gen(11);
    for (int i = 0; i < 10; ++i) {
        const TControlStates before = Random(gen);
        EXPECT_FALSE(ApplyCommandState(0, 1, before, 5).States[C::Toolapply]);
        EXPECT_FALSE(ApplyCommandState(1, 0, before, 0).States[C::Toolapply]);
        EXPECT_TRUE(ApplyCommandState(1, 0, before, 1).States[C::Toolapply]);
        EXPECT_TRUE(ApplyCommandState(1, 2, before, 300).States[C::Toolapply]);
        EXPECT_FALSE(ApplyCommandState(2, 1, before, 5).States[C::Toolapply]);
        EXPECT_TRUE(ApplyCommandState(3, 1, before, 0).States[C::Toolapply]);
        EXPECT_EQ(ApplyCommandState(3, 0, before, 5).States[C::Toolapply], before[C::Toolapply]);
        EXPECT_EQ(ApplyCommandState(3, 2, before, 5).States[C::Toolapply], before[C::Toolapply]);
        EXPECT_EQ(ApplyCommandState(3, 2, before, 5).States[C::ApplyFilter1], before[C::Toolapply]);
    }
}

TEST(CommandState, ContrastSliderShownOnlyWithTheSpectrum) {
    for (bool visible : {false, true}) {
        const TControlStates before = AllSetTo(true, visible);
        EXPECT_FALSE(ApplyCommandState(0, 2, before, 0).States.KontrastVisible);
        EXPECT_FALSE(ApplyCommandState(1, 2, before, 0).States.KontrastVisible);
        EXPECT_TRUE(ApplyCommandState(2, 1, before, 0).States.KontrastVisible);
        EXPECT_EQ(ApplyCommandState(3, 2, before, 0).States.KontrastVisible, visible);
    }
}

TEST(CommandState, RightAfterStart) {
    const TCommandStateResult r = ApplyCommandState(0, 0, DesignedControlStates(), 0);
    const std::set<std::string> expected{
        "ToolOpen",     "ToolPaste", "ToolLoadFilter", "ToolHelp", "ToolMirror",
        "ToolDe",       "Toolgb",    "Open1",          "Paste1",   "OpenFilter1",
        "Contexthelp1", "Beenden1",  "versioninfo1",   "about1",   "FastTransform1"};
    EXPECT_EQ(EnabledNames(r.States), expected);
    EXPECT_FALSE(r.States.KontrastVisible);
    EXPECT_EQ(r.CommandState, 0);
}

TEST(CommandState, DesignedStatesOfTheToolBar) {
    const TControlStates d = DesignedControlStates();
    const std::set<std::string> disabled{
        "ToolSave",       "ToolCopy",    "Toolundo",       "ToolRec",      "ToolElipse",
        "ToolStempel",    "ToolResize",  "Toolapply",      "ToolBatchrun", "ToolFilter",
        "ToolSaveFilter", "ToolCompare", "ToolFindScreen", "Redo1",        "NewFilter1"};
    for (size_t i = 0; i < kControlCount; ++i) {
        const std::string name(ControlName(TControlId(i)));
        EXPECT_EQ(d.Enabled[i], disabled.count(name) == 0) << name;
    }
}

// The situations a user meets, as sequences of calls from the start.
struct Session {
    TControlStates States = ApplyCommandState(0, 0, DesignedControlStates(), 0).States;
    uint8_t Stored = 0;
    size_t Entries = 0;
    void Set(uint8_t state) {
        const TControlStates before = States;
        const TCommandStateResult r = ApplyCommandState(state, Stored, States, Entries);
        ExpectMirrored(before, r.States, "after " + std::to_string(state));
        States = r.States;
        Stored = r.CommandState;
    }
    void LoadFilter(size_t entries) {
        Entries = entries;
        Set(3);
    }
};

TEST(CommandState, OpeningAFilterInStateZeroAndOne) {
    Session s;
    s.LoadFilter(2);
    EXPECT_TRUE(s.States[C::ToolBatchrun]);
    EXPECT_TRUE(s.States[C::ToolFilter]);
    EXPECT_TRUE(s.States[C::ToolSaveFilter]);
    EXPECT_TRUE(s.States[C::SaveFilter1]);
    EXPECT_FALSE(s.States[C::Toolapply]);
    EXPECT_FALSE(s.States[C::ApplyFilter1]);
    EXPECT_EQ(s.Stored, 0);

    Session t;
    t.Set(1);
    EXPECT_FALSE(t.States[C::Toolapply]) << "state 1 with an empty filter list";
    t.LoadFilter(1);
    EXPECT_TRUE(t.States[C::Toolapply]);
    EXPECT_TRUE(t.States[C::ApplyFilter1]);
    EXPECT_EQ(t.Stored, 1);
}

TEST(CommandState, SmoothingInTheSpectrumEnablesBatchRunOnly) {
    Session s;
    s.Set(1);
    s.Set(2);
    EXPECT_FALSE(s.States[C::ToolBatchrun]);
    s.Entries = 1;
    s.Set(3);
    EXPECT_TRUE(s.States[C::ToolBatchrun]);
    EXPECT_TRUE(s.States[C::Batchrun1]);
    EXPECT_FALSE(s.States[C::Toolapply]);
    EXPECT_EQ(s.Stored, 2);
    s.Set(1); // back to the image: the recorded entry now offers Apply filter
    EXPECT_TRUE(s.States[C::Toolapply]);
    EXPECT_TRUE(s.States[C::ToolFilter]);
}

TEST(CommandState, CloseInStateOneAndResizeAlwaysOffInStateZero) {
    Session s;
    s.Set(1);
    s.Set(2);
    EXPECT_TRUE(s.States[C::ToolResize]);
    s.Set(1);
    s.Set(0);
    for (TControlId off : {C::ToolSave, C::ToolCopy, C::ToolTransform, C::ToolZoom, C::ToolResize,
                           C::Schlieen1, C::Save1, C::Copy1, C::Transform1, C::Zoom1})
        EXPECT_FALSE(s.States[off]) << ControlName(off);
    for (TControlId on : {C::ToolOpen, C::ToolPaste, C::Open1, C::Paste1})
        EXPECT_TRUE(s.States[on]) << ControlName(on);
    EXPECT_EQ(s.Stored, 0);

    // Resize enabled before the call, whatever else: state 0 switches it off.
    EXPECT_FALSE(ApplyCommandState(0, 2, AllSetTo(true, true), 0).States[C::ToolResize]);
}

TEST(CommandState, MenuItemsWithoutAButtonKeepTheirState) {
    TControlStates before = AllSetTo(true, false);
    before[C::Beenden1] = false;
    before[C::about1] = false;
    for (uint8_t state = 0; state <= 3; ++state) {
        const TControlStates after = ApplyCommandState(state, 1, before, 0).States;
        EXPECT_FALSE(after[C::Beenden1]);
        EXPECT_FALSE(after[C::about1]);
        EXPECT_TRUE(after[C::versioninfo1]);
    }
}

TEST(CommandState, UnknownStateOnlyMirrors) {
    TControlStates before = AllSetTo(false, true);
    before[C::ToolSave] = true;
    before[C::Open1] = true;
    const TCommandStateResult r = ApplyCommandState(4, 2, before, 3);
    EXPECT_EQ(r.CommandState, 2);
    TControlStates expected = before;
    expected[C::Save1] = true;
    expected[C::Open1] = false;
    EXPECT_EQ(r.States, expected);
}

TEST(CommandState, MirrorPairsAndNames) {
    std::set<TControlId> items;
    for (const TMenuMirror& m : MenuMirrorPairs()) items.insert(m.MenuItem);
    EXPECT_EQ(items, kMirroredMenuItems);
    TControlStates s = AllSetTo(false, false);
    s[C::ToolStempel] = true;
    s[C::Open1] = true;
    MirrorMenuItems(s);
    EXPECT_TRUE(s[C::Bereichgltten1]);
    EXPECT_FALSE(s[C::Open1]);

    std::set<std::string_view> names;
    for (size_t i = 0; i < kControlCount; ++i) {
        const std::string_view name = ControlName(TControlId(i));
        EXPECT_FALSE(name.empty());
        names.insert(name);
        ASSERT_TRUE(ControlByName(name).has_value()) << name;
        EXPECT_EQ(*ControlByName(name), TControlId(i));
    }
    EXPECT_EQ(names.size(), kControlCount);
    EXPECT_EQ(ControlName(C::Schlieen1), "Schlieen1");
    EXPECT_EQ(ControlName(C::TrackKontrast), "TrackKontrast");
    EXPECT_FALSE(ControlByName("toolopen").has_value());
    EXPECT_FALSE(ControlByName("").has_value());
}

TEST(DispatchGuard, StepsAndButtonsPerCommand) {
    using D = TDispatchSteps;
    const struct {
        TCommand Command;
        D Steps;
        std::optional<TControlId> Button;
    } cases[] = {
        {TCommand::OpenImage, D::HelpThenEnabled, C::ToolOpen},
        {TCommand::SaveImage, D::HelpThenEnabled, C::ToolSave},
        {TCommand::CloseImage, D::HelpThenEnabled, C::Schlieen1},
        {TCommand::Copy, D::HelpThenEnabled, C::ToolCopy},
        {TCommand::Paste, D::HelpThenEnabled, C::ToolPaste},
        {TCommand::Transform, D::HelpThenEnabled, C::ToolTransform},
        {TCommand::ApplyFilter, D::HelpThenEnabled, C::Toolapply},
        {TCommand::BatchRun, D::HelpThenEnabled, C::ToolBatchrun},
        {TCommand::ViewFilter, D::HelpThenEnabled, C::ToolFilter},
        {TCommand::OpenFilter, D::HelpThenEnabled, C::ToolLoadFilter},
        {TCommand::SaveFilter, D::HelpThenEnabled, C::ToolSaveFilter},
        {TCommand::ZoomWindow, D::EnabledThenHelp, C::ToolZoom},
        {TCommand::Undo, D::HelpOnly, std::nullopt},
        {TCommand::SmoothArea, D::HelpOnly, std::nullopt},
        {TCommand::Rectangle, D::HelpOnly, std::nullopt},
        {TCommand::Ellipse, D::HelpOnly, std::nullopt},
        {TCommand::Contrast, D::HelpOnly, std::nullopt},
        {TCommand::German, D::HelpOnly, std::nullopt},
        {TCommand::English, D::HelpOnly, std::nullopt},
        {TCommand::ContextHelp, D::HelpOnly, std::nullopt},
        {TCommand::Quit, D::HelpOnly, std::nullopt},
        {TCommand::ImageClick, D::HelpOnly, std::nullopt},
        {TCommand::StatusBarClick, D::HelpOnly, std::nullopt},
        {TCommand::SetWatermark, D::HelpOnly, std::nullopt},
        {TCommand::CheckWatermark, D::HelpOnly, std::nullopt},
        {TCommand::Resize, D::HelpOnly, std::nullopt},
        {TCommand::VersionInfo, D::None, std::nullopt},
        {TCommand::About, D::None, std::nullopt},
    };
    for (const auto& c : cases) {
        const TDispatchGuard g = DispatchGuard(c.Command);
        EXPECT_EQ(g.Steps, c.Steps) << int(c.Command);
        EXPECT_EQ(g.Button, c.Button) << int(c.Command);
    }
    // Close acts on the image and on its spectrum, not with nothing shown.
    TControlStates states = DesignedControlStates();
    for (uint8_t state : {uint8_t(1), uint8_t(2), uint8_t(0)}) {
        states = ApplyCommandState(state, 0, states, 0).States;
        EXPECT_EQ(states[*DispatchGuard(TCommand::CloseImage).Button], state != 0) << int(state);
    }
}

} // namespace

TEST(CommandTable, BusyRuleKeysAndTheComparison) {
    // While a transform or a batch runs, nothing that changes or reads what
    // they work on may start; the rest stays usable.
    TControlStates s = AllSetTo(true, true);
    BlockBusyCommands(s);
    for (TControlId off : {C::ToolOpen, C::Open1, C::ToolTransform, C::Transform1, C::Schlieen1,
                           C::ToolBatchrun, C::Batchrun1, C::ToolFindScreen, C::FindScreen1,
                           C::ToolCompare, C::CheckWatermark1, C::Toolundo})
        EXPECT_FALSE(s[off]) << ControlName(off);
    for (TControlId on : {C::ToolHelp, C::ToolFilter, C::ToolLoadFilter, C::Beenden1, C::about1,
                          C::FastTransform1, C::ToolZoom})
        EXPECT_TRUE(s[on]) << ControlName(on);
    EXPECT_TRUE(BlockedWhileBusy(TCommand::FindScreen));
    EXPECT_FALSE(BlockedWhileBusy(TCommand::ContextHelp));

    EXPECT_EQ(CommandTexts(TCommand::OpenImage).Key, "F2;Ctrl+O");
    EXPECT_EQ(CommandTexts(TCommand::Compare).Key, "F8");
    EXPECT_EQ(CommandOfControl(C::FindScreen1), TCommand::FindScreen);
    EXPECT_EQ(CommandOfControl(C::ToolMirror), std::nullopt);
    // Every command the language tables do not know has both texts.
    for (size_t i = 0; i <= size_t(TCommand::CheckWatermark); ++i) {
        const TCommandTexts& t = CommandTexts(TCommand(i));
        EXPECT_EQ(t.German.empty(), t.English.empty()) << CommandName(TCommand(i));
    }

    // Before and after needs an image with its picture as loaded kept.
    const TControlStates start = DesignedControlStates();
    EXPECT_FALSE(ApplyCommandState(1, 0, start, 0, 0, false).States[C::ToolCompare]);
    const TControlStates image = ApplyCommandState(1, 0, start, 0, 0, true).States;
    EXPECT_TRUE(image[C::ToolCompare]);
    EXPECT_TRUE(ApplyCommandState(3, 1, image, 1, 0, true).States[C::ToolCompare]);
    EXPECT_FALSE(ApplyCommandState(2, 1, image, 0, 0, true).States[C::ToolCompare]);
}
