// The settings file: its exact text and key order, every fallback of the
// reader, where the file lives, and that failed reads and writes are reported
// without harming the file that is there.
#include "shell/settings.h"

#include "spectral/errors.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const TRect32 kCurrent{100, 50, 1039, 794};

TRestoredSettings Parse(const std::string& text, int32_t ppi = 96) {
    return ParseSettings(text, ppi, kCurrent);
}

std::string FileText(const std::string& name) {
    const std::vector<uint8_t> bytes = ReadFileBytes(name);
    return std::string(bytes.begin(), bytes.end());
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(SettingsFormat, KeysInTheirOrderWithTheirValueForms) {
    TSettingsRecord r;
    r.Flags = 2;
    r.ShowState = TShowState::Normal;
    r.PixelsPerInch = 120;
    r.MinPosition = {-1, -1};
    r.MaxPosition = {-8, -31};
    r.NormalPosition = {10, 20, 949, 764};
    r.Visible = true;
    r.ToolBar_Left = 11;
    r.ToolBar1_Left = 482;
    r.ToolBar2_Left = 390;
    r.ToolLanguage_Left = 636;
    r.ToolShape_Left = 124;
    r.ToolMirror_Down = true;
    r.Toolgb_Down = true;
    r.ToolDe_Down = false;
    r.Lang = 2;
    EXPECT_EQ(FormatSettings(r), "[TForm1]\n"
                                 "FormVersion=0\n"
                                 "Flags=2\n"
                                 "ShowCmd=1\n"
                                 "PixelsPerInch=120\n"
                                 "MinMaxPos=-1,-1,-8,-31\n"
                                 "NormPos=10,20,949,764\n"
                                 "Visible=1\n"
                                 "ToolBar_Left=11\n"
                                 "ToolBar1_Left=482\n"
                                 "ToolBar2_Left=390\n"
                                 "ToolLanguage_Left=636\n"
                                 "ToolShape_Left=124\n"
                                 "ToolMirror_Down=True\n"
                                 "Toolgb_Down=True\n"
                                 "ToolDe_Down=False\n"
                                 "\n"
                                 "[Prefs]\n"
                                 "Lang=2\n");
    r.ShowState = TShowState::Maximized;
    r.Visible = false;
    r.Lang = 1;
    const std::string text = FormatSettings(r);
    EXPECT_NE(text.find("\nShowCmd=3\n"), std::string::npos);
    EXPECT_NE(text.find("\nVisible=0\n"), std::string::npos);
    EXPECT_NE(text.find("\nLang=1\n"), std::string::npos);
    r.ShowState = TShowState::Minimized;
    EXPECT_NE(FormatSettings(r).find("\nShowCmd=2\n"), std::string::npos);
}

TEST(SettingsFormat, WhatIsWrittenIsReadBack) {
    TSettingsRecord r;
    r.ShowState = TShowState::Normal;
    r.PixelsPerInch = 96;
    r.NormalPosition = {-5, 7, 800, 600};
    r.MinPosition = {3, 4};
    r.MaxPosition = {5, 6};
    r.Flags = 1;
    r.ToolBar_Left = 300;
    r.ToolShape_Left = 0;
    r.ToolMirror_Down = false;
    r.Toolgb_Down = false;
    r.ToolDe_Down = true;
    r.Lang = 1;
    const TRestoredSettings back = Parse(FormatSettings(r));
    EXPECT_TRUE(back.Read);
    EXPECT_TRUE(back.ApplyPlacement);
    EXPECT_EQ(back.Flags, 1);
    EXPECT_EQ(back.NormalPosition, r.NormalPosition);
    EXPECT_EQ(back.MinPosition, r.MinPosition);
    EXPECT_EQ(back.MaxPosition, r.MaxPosition);
    EXPECT_EQ(back.ShowState, TShowState::Normal);
    EXPECT_EQ(back.ToolBar_Left, 300);
    EXPECT_EQ(back.ToolBar1_Left, 482);
    EXPECT_EQ(back.ToolBar2_Left, 390);
    EXPECT_EQ(back.ToolLanguage_Left, 636);
    EXPECT_EQ(back.ToolShape_Left, 0);
    EXPECT_EQ(back.ToolMirror_Down, false);
    EXPECT_EQ(back.Toolgb_Down, false);
    EXPECT_EQ(back.ToolDe_Down, true);
    EXPECT_EQ(back.Lang, 1);
}

TEST(SettingsParse, FirstRunIsMaximisedAndEnglish) {
    for (const TRestoredSettings& r :
         {Parse(""), DefaultSettings(96, kCurrent), Parse("garbage\n[Other]\nLang=1\n")}) {
        EXPECT_TRUE(r.Read);
        EXPECT_FALSE(r.ApplyPlacement);
        EXPECT_EQ(r.NormalPosition, kCurrent);
        EXPECT_EQ(r.ShowState, TShowState::Maximized);
        EXPECT_EQ(r.Lang, 2);
        EXPECT_FALSE(r.ToolBar_Left.has_value());
        EXPECT_FALSE(r.ToolShape_Left.has_value());
        EXPECT_FALSE(r.ToolMirror_Down.has_value());
        EXPECT_FALSE(r.ToolDe_Down.has_value());
    }
}

TEST(SettingsParse, NegativeFormVersionStopsReading) {
    const TRestoredSettings r =
        Parse("[TForm1]\nFormVersion=-1\nShowCmd=3\nNormPos=1,2,300,400\nToolBar_Left=5\n"
              "[Prefs]\nLang=1\n");
    EXPECT_FALSE(r.Read);
    EXPECT_FALSE(r.ApplyPlacement);
    EXPECT_EQ(r.ShowState, TShowState::Normal);
    EXPECT_FALSE(r.ToolBar_Left.has_value());
    // Zero, a bad number or a missing entry read on.
    for (const char* version : {"FormVersion=0\n", "FormVersion=x\n", "FormVersion=\n", ""})
        EXPECT_TRUE(Parse(std::string("[TForm1]\n") + version + "ToolBar_Left=5\n").Read)
            << version;
}

TEST(SettingsParse, ShowCommands) {
    const struct {
        const char* Value;
        TShowState State;
    } cases[] = {{"1", TShowState::Normal},      {"5", TShowState::Normal},
                 {"9", TShowState::Normal},      {"2", TShowState::Minimized},
                 {"6", TShowState::Minimized},   {"7", TShowState::Minimized},
                 {"3", TShowState::Maximized},   {"0", TShowState::Maximized},
                 {"4", TShowState::Maximized},   {"8", TShowState::Maximized},
                 {"10", TShowState::Maximized},  {"-1", TShowState::Maximized},
                 {"one", TShowState::Maximized}, {"", TShowState::Maximized}};
    for (const auto& c : cases)
        EXPECT_EQ(Parse(std::string("[TForm1]\nShowCmd=") + c.Value + "\n").ShowState, c.State)
            << c.Value;
    EXPECT_EQ(ShowCmdOf(TShowState::Normal), 1);
    EXPECT_EQ(ShowCmdOf(TShowState::Minimized), 2);
    EXPECT_EQ(ShowCmdOf(TShowState::Maximized), 3);
    for (int32_t cmd = 1; cmd <= 3; ++cmd) EXPECT_EQ(ShowCmdOf(ShowStateOfCmd(cmd)), cmd);
}

TEST(SettingsParse, PlacementConditions) {
    // A position entry, a matching (or missing) resolution and a sane size.
    EXPECT_TRUE(Parse("[TForm1]\nPixelsPerInch=96\nNormPos=1,2,300,400\n").ApplyPlacement);
    EXPECT_TRUE(Parse("[TForm1]\nNormPos=1,2,300,400\n").ApplyPlacement);
    EXPECT_TRUE(Parse("[TForm1]\nPixelsPerInch=bad\nNormPos=1,2,300,400\n").ApplyPlacement);
    EXPECT_FALSE(Parse("[TForm1]\nPixelsPerInch=120\nNormPos=1,2,300,400\n").ApplyPlacement);
    EXPECT_TRUE(Parse("[TForm1]\nPixelsPerInch=120\nNormPos=1,2,300,400\n", 120).ApplyPlacement);
    EXPECT_FALSE(Parse("[TForm1]\nFlags=2\nShowCmd=1\n").ApplyPlacement) << "no position entry";
    EXPECT_FALSE(Parse("[TForm1]\nNormPos=300,2,300,400\n").ApplyPlacement)
        << "right not right of left";
    EXPECT_FALSE(Parse("[TForm1]\nNormPos=300,2,100,400\n").ApplyPlacement);
    EXPECT_FALSE(Parse("[TForm1]\nNormPos=1,400,300,400\n").ApplyPlacement) << "no height";
    EXPECT_FALSE(Parse("[TForm1]\nNormPos=0,0,2000000000,900\n").ApplyPlacement) << "absurd width";
    EXPECT_FALSE(Parse("[TForm1]\nNormPos=-2147483648,0,2147483647,900\n").ApplyPlacement);
    EXPECT_TRUE(Parse("[TForm1]\nNormPos=0,0,32767,32767\n").ApplyPlacement);
    EXPECT_FALSE(Parse("[TForm1]\nNormPos=0,0,32768,32767\n").ApplyPlacement);

    // Only MinMaxPos: the stored placement applies with the current edges.
    const TRestoredSettings minMax = Parse("[TForm1]\nFlags=2\nMinMaxPos=-1,-1,-8,-8\n");
    EXPECT_TRUE(minMax.ApplyPlacement);
    EXPECT_EQ(minMax.Flags, 2);
    EXPECT_EQ(minMax.NormalPosition, kCurrent);
    EXPECT_EQ(minMax.MinPosition, (TPoint32{-1, -1}));
    EXPECT_EQ(minMax.MaxPosition, (TPoint32{-8, -8}));

    // Not applied: the window keeps its own placement.
    const TRestoredSettings refused =
        Parse("[TForm1]\nFlags=2\nPixelsPerInch=72\nNormPos=1,2,300,400\n");
    EXPECT_EQ(refused.NormalPosition, kCurrent);
    EXPECT_EQ(refused.Flags, 0);
}

TEST(SettingsParse, BadNumbersInPositionsFallBackFieldByField) {
    const TRestoredSettings r = Parse("[TForm1]\nMinMaxPos=5,x,,7\nNormPos=10,y,500\n");
    EXPECT_TRUE(r.ApplyPlacement);
    EXPECT_EQ(r.MinPosition, (TPoint32{5, 0}));
    EXPECT_EQ(r.MaxPosition, (TPoint32{0, 7}));
    EXPECT_EQ(r.NormalPosition, (TRect32{10, kCurrent.Top, 500, kCurrent.Bottom}));
    const TRestoredSettings blanks =
        Parse("[TForm1]\nNormPos= 10 , 20 ,30,40,50\nMinMaxPos=99999999999,1,2,3\n");
    EXPECT_EQ(blanks.NormalPosition, (TRect32{10, 20, 30, 40}));
    EXPECT_EQ(blanks.MinPosition, (TPoint32{0, 1}));
}

TEST(SettingsParse, LanguageValues) {
    EXPECT_EQ(Parse("[Prefs]\nLang=1\n").Lang, 1);
    EXPECT_EQ(Parse("[Prefs]\nLang=2\n").Lang, 2);
    EXPECT_EQ(Parse("[Prefs]\nLang=\n").Lang, 2);
    EXPECT_EQ(Parse("[Prefs]\nLang=en\n").Lang, 2);
    EXPECT_EQ(Parse("[Prefs]\nLang=1x\n").Lang, 2);
    EXPECT_EQ(Parse("[Prefs]\nLang=99999999999\n").Lang, 2);
    // Other numbers are passed on; they select the German table.
    EXPECT_EQ(Parse("[Prefs]\nLang=0\n").Lang, 0);
    EXPECT_EQ(Parse("[Prefs]\nLang=7\n").Lang, 7);
    EXPECT_EQ(Parse("[Prefs]\nLang=-3\n").Lang, -3);
    // "Lang" belongs to "Prefs" only.
    EXPECT_EQ(Parse("[TForm1]\nLang=1\n").Lang, 2);
}

TEST(SettingsParse, StoredSwitchesAndToolBars) {
    const TRestoredSettings r =
        Parse("[TForm1]\nToolBar_Left=20\nToolBar1_Left=abc\nToolBar2_Left=-4\nToolShape_Left=\n"
              "ToolMirror_Down=false\nToolgb_Down=TRUE\nToolDe_Down=yes\n");
    EXPECT_EQ(r.ToolBar_Left, 20);
    EXPECT_FALSE(r.ToolBar1_Left.has_value());
    EXPECT_EQ(r.ToolBar2_Left, -4);
    EXPECT_FALSE(r.ToolLanguage_Left.has_value());
    EXPECT_FALSE(r.ToolShape_Left.has_value());
    EXPECT_EQ(r.ToolMirror_Down, false);
    EXPECT_EQ(r.Toolgb_Down, true);
    EXPECT_FALSE(r.ToolDe_Down.has_value());
}

TEST(SettingsParse, IniSyntaxAsFoundInTheWild) {
    // CR LF lines, a byte order mark, blanks, comments, quotes, letter case,
    // and a repeated key (the first wins).
    const std::string text = "\xEF\xBB\xBF; written by hand\r\n"
                             "[ tform1 ]\r\n"
                             "  showcmd = 1 \r\n"
                             "NormPos=\"1,2,300,400\"\r\n"
                             "ShowCmd=3\r\n"
                             "\r\n"
                             "[PREFS]\r\n"
                             "lang=1\r\n";
    const TRestoredSettings r = Parse(text);
    EXPECT_EQ(r.ShowState, TShowState::Normal);
    EXPECT_TRUE(r.ApplyPlacement);
    EXPECT_EQ(r.NormalPosition, (TRect32{1, 2, 300, 400}));
    EXPECT_EQ(r.Lang, 1);
    // Binary junk is no crash and gives the defaults.
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += char((i * 131 + 7) & 0xFF);
    EXPECT_EQ(Parse(junk).Lang, 2);
    EXPECT_EQ(Parse("[TForm1\nShowCmd=1\n[Prefs]Lang=1\n").ShowState, TShowState::Maximized);
}

TEST(SettingsFile, PathFollowsTheConfigurationFolder) {
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/somewhere/conf");
        EXPECT_EQ(SettingsFilePath(), "/somewhere/conf/Pixmend");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/conf");
        ScopedEnv home("HOME", "/home/archivist");
        EXPECT_EQ(SettingsFilePath(), "/home/archivist/.config/Pixmend");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        ScopedEnv home("HOME", "/home/archivist");
        EXPECT_EQ(SettingsFilePath(), "/home/archivist/.config/Pixmend");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "");
        ScopedEnv home("HOME", "/h");
        EXPECT_EQ(SettingsFilePath(), "/h/.config/Pixmend");
    }
}

TEST(SettingsFile, FirstRunWritesAFileThatReadsBack) {
    TTempDir dir;
    const std::string name = dir.File("config/sub/Pixmend");
    const TRestoredSettings first = ReadSettingsFile(name, 96, kCurrent);
    EXPECT_EQ(first.ShowState, TShowState::Maximized);
    EXPECT_EQ(first.Lang, 2);
    EXPECT_FALSE(std::filesystem::exists(name)) << "reading creates nothing";

    TSettingsRecord r;
    r.NormalPosition = {10, 20, 949, 764};
    WriteSettingsFile(name, r); // creates the missing folders
    const std::string text = FileText(name);
    EXPECT_EQ(text, FormatSettings(r));
    EXPECT_EQ(text.find("[TForm1]\n"), 0u);
    EXPECT_NE(text.find("\n[Prefs]\nLang=2\n"), std::string::npos);
    const TRestoredSettings back = ReadSettingsFile(name, 96, kCurrent);
    EXPECT_EQ(back.ShowState, TShowState::Maximized);
    EXPECT_EQ(back.NormalPosition, r.NormalPosition);
    EXPECT_EQ(back.Lang, 2);
    EXPECT_EQ(std::filesystem::directory_iterator(dir.Path() / "config/sub")->path().filename(),
              "Pixmend")
        << "no temporary file left behind";
}

TEST(SettingsFile, UnreadableFilesAreReportedWithTheirName) {
    TTempDir dir;
    const std::string folder = dir.File("Pixmend");
    std::filesystem::create_directory(folder);
    try {
        ReadSettingsFile(folder, 96, kCurrent);
        FAIL() << "a folder was read as settings";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Datei " + folder +
                                             " kann nicht ge\xC3\xB6"
                                             "ffnet werden");
    }
    const std::string big = dir.File("big");
    WriteFileBytes(big, std::vector<uint8_t>((size_t(1) << 20) + 1, uint8_t('x')));
    EXPECT_THROW(ReadSettingsFile(big, 96, kCurrent), EFileError);
    if (::geteuid() != 0) {
        const std::string locked = dir.File("locked");
        WriteFileBytes(locked, {'[', 'P', ']'});
        ::chmod(locked.c_str(), 0);
        EXPECT_THROW(ReadSettingsFile(locked, 96, kCurrent), EFileError);
    }
}

TEST(SettingsFile, AFailedWriteLeavesTheOldFile) {
    TTempDir dir;
    TSettingsRecord r;
    r.Lang = 1;
    // The name is taken by a folder: nothing can be written there.
    const std::string folder = dir.File("Pixmend");
    std::filesystem::create_directory(folder);
    try {
        WriteSettingsFile(folder, r);
        FAIL() << "wrote over a folder";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Datei " + folder + " kann nicht erstellt werden");
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    // The folder cannot be created because a file has its name.
    const std::string blocker = dir.File("blocker");
    WriteFileBytes(blocker, {'x'});
    EXPECT_THROW(WriteSettingsFile(blocker + "/Pixmend", r), EFileError);
    EXPECT_EQ(FileText(blocker), "x");

    if (::geteuid() != 0) {
        // A read-only file, and a file in a read-only folder, stay as they are.
        const std::string readOnly = dir.File("ro");
        WriteFileBytes(readOnly, {'o', 'l', 'd'});
        ::chmod(readOnly.c_str(), 0444);
        EXPECT_THROW(WriteSettingsFile(readOnly, r), EFileError);
        EXPECT_EQ(FileText(readOnly), "old");

        const std::string lockedFolder = dir.File("locked");
        std::filesystem::create_directory(lockedFolder);
        const std::string inside = lockedFolder + "/Pixmend";
        WriteFileBytes(inside, {'o', 'l', 'd'});
        ::chmod(lockedFolder.c_str(), 0555);
        EXPECT_THROW(WriteSettingsFile(inside, r), EFileError);
        ::chmod(lockedFolder.c_str(), 0755);
        EXPECT_EQ(FileText(inside), "old");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(lockedFolder),
                                std::filesystem::directory_iterator()),
                  1);
    }
    // A writable file is replaced completely, not patched.
    const std::string good = dir.File("good");
    WriteFileBytes(good, std::vector<uint8_t>(5000, uint8_t('z')));
    WriteSettingsFile(good, r);
    EXPECT_EQ(FileText(good), FormatSettings(r));
}

} // namespace

TEST(SettingsParse, HelpBaseIsCarriedThrough) {
    EXPECT_FALSE(Parse("[Prefs]\r\nLang=1\r\n").HelpBase.has_value());
    const auto r =
        Parse("[TForm1]\nFormVersion=-1\n[Prefs]\nHelpBase=http://help.example:81/pages/\n");
    ASSERT_TRUE(r.HelpBase.has_value());
    EXPECT_EQ(*r.HelpBase, "http://help.example:81/pages/");

    TSettingsRecord record;
    EXPECT_EQ(FormatSettings(record).find("HelpBase"), std::string::npos);
    record.HelpBase = "http://127.0.0.1:9000/";
    const std::string text = FormatSettings(record);
    EXPECT_NE(text.find("Lang=2\nHelpBase=http://127.0.0.1:9000/\n"), std::string::npos) << text;
    EXPECT_EQ(Parse(text).HelpBase.value_or(""), "http://127.0.0.1:9000/");
}

TEST(SettingsParse, FastTransformIsWrittenOnlyWhenChosen) {
    TSettingsRecord record;
    const std::string plain = FormatSettings(record);
    EXPECT_EQ(plain.find("FastTransform"), std::string::npos)
        << "the file of a user who never chose it";
    EXPECT_FALSE(Parse(plain).FastTransform);
    record.FastTransform = true;
    const std::string text = FormatSettings(record);
    EXPECT_NE(text.find("Lang=2\nFastTransform=True\n"), std::string::npos) << text;
    EXPECT_TRUE(Parse(text).FastTransform);
    EXPECT_FALSE(Parse("[Prefs]\nFastTransform=yes\n").FastTransform) << "not a truth value: off";
}

TEST(SettingsParse, RecentFilesHaveASectionOfTheirOwn) {
    TSettingsRecord record;
    const std::string plain = FormatSettings(record);
    EXPECT_EQ(plain.find("Recent"), std::string::npos) << "none opened: the file as before";
    record.RecentFiles = {"/scans/page 1.bmp", " padded.bmp", "bad\nname.bmp", "/x.jpg"};
    const std::string text = FormatSettings(record);
    EXPECT_EQ(text.substr(0, plain.size()), plain) << "the keys before stay as they are";
    EXPECT_EQ(text.substr(plain.size()),
              "\n[Recent]\nFile1=/scans/page 1.bmp\nFile2=\" padded.bmp\"\nFile3=/x.jpg\n");
    EXPECT_EQ(Parse(text).RecentFiles,
              (std::vector<std::string>{"/scans/page 1.bmp", " padded.bmp", "/x.jpg"}));
    record.RecentFiles.assign(kMaxRecentFiles + 3, "/a.bmp");
    EXPECT_EQ(Parse(FormatSettings(record)).RecentFiles.size(), kMaxRecentFiles);
    EXPECT_EQ(Parse("[Recent]\nFile1=/a.bmp\nFile3=/c.bmp\n").RecentFiles,
              std::vector<std::string>{"/a.bmp"})
        << "the list ends at the first gap";
}
