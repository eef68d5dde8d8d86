// The help topic list and the decisions of a help request.
#include "help/help_address.h"
#include "help/help_request.h"
#include "help/help_topics.h"
#include "shell/command_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

TEST(HelpTopics, ElementsCarryTheirTopics) {
    struct TCase {
        const char* Name;
        int32_t Topic;
    };
    const std::vector<TCase> cases{
        {"ToolOpen", 829470095},
        {"ToolSave", 588849925},
        {"Save1", 588849925},
        {"ToolCopy", 238403060},
        {"Copy1", 238403060},
        {"ToolPaste", 428236487},
        {"Paste1", 428236487},
        {"ToolTransform", 799439024},
        {"Transform1", 799439024},
        {"Toolundo", 126958579},
        {"ToolRec", 935897028},
        {"Rechteck1", 935897028},
        {"ToolElipse", 434884197},
        {"Kreis1", 434884197},
        {"ToolStempel", 657374138},
        {"Toolapply", 314881646},
        {"ApplyFilter1", 314881646},
        {"ToolBatchrun", 592430739},
        {"Batchrun1", 592430739},
        {"ToolFilter", 922769153},
        {"Filteransehen1", 922769153},
        {"ToolLoadFilter", 284717369},
        {"OpenFilter1", 284717369},
        {"ToolSaveFilter", 252075645},
        {"SaveFilter1", 252075645},
        {"ToolZoom", 832006858},
        {"ToolHelp", 476602861},
        {"Contexthelp1", 476602861},
        {"ToolDe", 782302679},
        {"Toolgb", 782302679},
        {"StatusBar", 223575831},
        {"TrackKontrast", 180698650},
        {"ToolResize", 347120958},
        {"ToolCompare", 718245903},
        {"FastTransform1", 905316472},
        {"SetWatermark1", 563908214},
        {"CheckWatermark1", 563908214},
        // Without a page, although some run a command whose button has one.
        {"Open1", 0},
        {"Bereichgltten1", 0},
        {"Zoom1", 0},
        {"Schlieen1", 0},
        {"Beenden1", 0},
        {"Image1", 0},
        {"Shape", 0},
        {"ToolMirror", 0},
        {"about1", 0},
        {"versioninfo1", 0},
        // Not an element at all.
        {"NoSuchControl", 0},
        {"", 0},
        {"toolopen", 0},
    };
    for (const TCase& c : cases) EXPECT_EQ(HelpTopicOf(c.Name), c.Topic) << c.Name;
}

TEST(HelpTopics, PageTopicsAreTheDistinctTopicsOfTheElementsInOrder) {
    std::vector<int32_t> distinct;
    std::set<std::string_view> names;
    for (const THelpElement& e : HelpElements()) {
        EXPECT_TRUE(names.insert(e.Name).second) << "listed twice: " << e.Name;
        EXPECT_TRUE(e.Topic == 0 || HasHelpPage(e.Topic)) << e.Name;
        if (HasHelpPage(e.Topic) &&
            std::find(distinct.begin(), distinct.end(), e.Topic) == distinct.end())
            distinct.push_back(e.Topic);
    }
    const auto topics = HelpPageTopics();
    EXPECT_EQ(std::vector<int32_t>(topics.begin(), topics.end()), distinct);
    EXPECT_EQ(topics.size(), 24u);
}

// Every button and menu item of the command table is an element with the
// topic its row gives it, so a new row needs no second list.
TEST(HelpTopics, EveryCommandRowsControlsAreElementsWithTheRowsTopics) {
    struct TRow {
        const char* Button;
        int32_t ButtonTopic;
        const char* Item;
        int32_t ItemTopic;
    };
#define PIXMEND_TEST_ROW(command, button, buttonTopic, item, itemTopic, ...)                       \
    TRow{#button, buttonTopic, #item, itemTopic},
    const std::vector<TRow> rows{PIXMEND_COMMANDS(PIXMEND_TEST_ROW)};
#undef PIXMEND_TEST_ROW
    const auto listed = [](std::string_view name) {
        const auto elements = HelpElements();
        return std::any_of(elements.begin(), elements.end(),
                           [&](const THelpElement& e) { return e.Name == name; });
    };
    for (const TRow& row : rows) {
        if (std::string_view(row.Button) != "None") {
            EXPECT_TRUE(listed(row.Button)) << row.Button;
            EXPECT_EQ(HelpTopicOf(row.Button), row.ButtonTopic) << row.Button;
        }
        if (std::string_view(row.Item) != "None") {
            EXPECT_TRUE(listed(row.Item)) << row.Item;
            EXPECT_EQ(HelpTopicOf(row.Item), row.ItemTopic) << row.Item;
        }
    }
}

TEST(HelpTopics, APageExistsExactlyAboveOneHundred) {
    EXPECT_FALSE(HasHelpPage(-5));
    EXPECT_FALSE(HasHelpPage(0));
    EXPECT_FALSE(HasHelpPage(1));
    EXPECT_FALSE(HasHelpPage(100));
    EXPECT_TRUE(HasHelpPage(101));
    EXPECT_TRUE(HasHelpPage(2147483647));
}

TEST(HelpAddress, PageNamesCarryTopicAndLanguageNumber) {
    EXPECT_EQ(HelpPageName(223575831, 2), "pixmend_help_223575831_2.htm");
    EXPECT_EQ(HelpPageName(829470095, 1), "pixmend_help_829470095_1.htm");
    // The number is used as it is, even one that names no table.
    EXPECT_EQ(HelpPageName(476602861, 0), "pixmend_help_476602861_0.htm");
    EXPECT_EQ(HelpPageAddress("http://127.0.0.1:8642/", 782302679, 1),
              "http://127.0.0.1:8642/pixmend_help_782302679_1.htm");
    EXPECT_EQ(HelpPageAddress("https://help.example.org/pixmend/", 180698650, 2),
              "https://help.example.org/pixmend/pixmend_help_180698650_2.htm");
}

TEST(HelpAddress, EffectiveBaseFallsBackToTheLocalServerAndEndsInASlash) {
    EXPECT_STREQ(kDefaultHelpBase, "http://127.0.0.1:8642/");
    EXPECT_EQ(EffectiveHelpBase(std::nullopt), kDefaultHelpBase);
    EXPECT_EQ(EffectiveHelpBase(""), kDefaultHelpBase);
    EXPECT_EQ(EffectiveHelpBase("  \t "), kDefaultHelpBase);
    EXPECT_EQ(EffectiveHelpBase("http://host:81/help/"), "http://host:81/help/");
    EXPECT_EQ(EffectiveHelpBase("http://host:81/help"), "http://host:81/help/");
    EXPECT_EQ(EffectiveHelpBase(" http://host \r"), "http://host/");
}

TEST(HelpAddress, BaseIsReadFromThePrefsSectionOnly) {
    EXPECT_EQ(HelpBaseFromSettingsText(""), std::nullopt);
    EXPECT_EQ(HelpBaseFromSettingsText("[Prefs]\r\nLang=2\r\n"), std::nullopt);
    EXPECT_EQ(HelpBaseFromSettingsText("[TForm1]\nHelpBase=http://wrong/\n[Prefs]\nLang=1\n"),
              std::nullopt);
    EXPECT_EQ(HelpBaseFromSettingsText(
                  "[TForm1]\nVisible=1\n[Prefs]\r\nLang=2\r\nHelpBase=http://h:9/x/\r\n"),
              "http://h:9/x/");
    EXPECT_EQ(HelpBaseFromSettingsText("[ prefs ]\n helpbase = http://a/ \n"), "http://a/");
    EXPECT_EQ(HelpBaseFromSettingsText(
                  "[Prefs]\nHelpBase=http://a/\nHelpBase=http://b/\n[Other]\nHelpBase=c"),
              "http://b/");
    EXPECT_EQ(HelpBaseFromSettingsText("[Prefs]\n;HelpBase=http://a/\nHelpBase"), std::nullopt);
    EXPECT_EQ(HelpBaseFromSettingsText("[Prefs]\nHelpBase="), "");
    EXPECT_EQ(EffectiveHelpBase(HelpBaseFromSettingsText("[Prefs]\nHelpBase=\n")),
              kDefaultHelpBase);
}

TEST(HelpAddress, FailedLoadPageShowsAddressAndReasonAsText) {
    const std::string page = FailedLoadPage("http://127.0.0.1:8642/pixmend_help_1_2.htm?a=1&b=<2>",
                                            "Connection refused");
    EXPECT_NE(page.find("<title>Page not available</title>"), std::string::npos);
    EXPECT_NE(page.find("http://127.0.0.1:8642/pixmend_help_1_2.htm?a=1&amp;b=&lt;2&gt;"),
              std::string::npos);
    EXPECT_NE(page.find("<p>Connection refused</p>"), std::string::npos);
    EXPECT_NE(page.find("charset=utf-8"), std::string::npos);
    EXPECT_EQ(FailedLoadPage("x", "<script>").find("<script>"), std::string::npos);
}

TEST(HelpRequest, OfflineComesFirstThenThePageThenTheNoHelpNotice) {
    const std::string base = "http://help.example.org/";
    for (int32_t topic : {0, 100, 101, 476602861}) {
        const THelpDecision d = DecideHelpPage(false, topic, 2, base);
        EXPECT_EQ(d.Answer, THelpAnswer::OfflineNotice) << topic;
        EXPECT_EQ(d.Notice, "Sorry, you are not online.\nFor accessing the helpsystem\n"
                            "you have to be connected to the internet.");
        EXPECT_TRUE(d.PageAddress.empty());
    }
    for (int32_t topic : {-1, 0, 1, 100}) {
        const THelpDecision d = DecideHelpPage(true, topic, 1, base);
        EXPECT_EQ(d.Answer, THelpAnswer::NoHelpNotice) << topic;
        EXPECT_EQ(d.Notice, "für dieses Element ist keine Hilfe verfügbar");
        EXPECT_TRUE(d.PageAddress.empty());
    }
    const THelpDecision open = DecideHelpPage(true, HelpTopicOf("ToolOpen"), 1, base);
    EXPECT_EQ(open.Answer, THelpAnswer::ShowPage);
    EXPECT_EQ(open.PageAddress, "http://help.example.org/pixmend_help_829470095_1.htm");
    EXPECT_TRUE(open.Notice.empty());
    // The menu item of the same command has no page.
    EXPECT_EQ(DecideHelpPage(true, HelpTopicOf("Open1"), 1, base).Answer,
              THelpAnswer::NoHelpNotice);
    EXPECT_EQ(DecideHelpPage(true, 101, 2, base).PageAddress, base + "pixmend_help_101_2.htm");
}

TEST(HelpRequest, PagesOnThisMachineAreShownOffline) {
    for (const char* base : {"file:///usr/share/pixmend/help/pages/", "http://127.0.0.1:8642/",
                             "http://localhost/help/", "HTTP://LocalHost:81", "http://127.1.2.3/",
                             "http://[::1]:8642/", "http://user@127.0.0.1/"}) {
        EXPECT_TRUE(HelpBaseIsOnThisMachine(base)) << base;
        EXPECT_EQ(DecideHelpPage(false, HelpTopicOf("ToolOpen"), 2, base).Answer,
                  THelpAnswer::ShowPage)
            << base;
        EXPECT_EQ(DecideHelpPage(false, 0, 2, base).Answer, THelpAnswer::NoHelpNotice) << base;
    }
    for (const char* base :
         {"http://help.example.org/", "http://127.0.0.1.example.org/",
          "http://localhost.example.org/", "http://128.0.0.1/", "http://127.0.0/",
          "http://127.0.0.256/", "http://127.0.0.1@evil/", "relative/", ""}) {
        EXPECT_FALSE(HelpBaseIsOnThisMachine(base)) << base;
        EXPECT_EQ(DecideHelpPage(false, HelpTopicOf("ToolOpen"), 2, base).Answer,
                  THelpAnswer::OfflineNotice)
            << base;
    }
    EXPECT_EQ(EffectiveHelpBase(std::nullopt, "file:///p/"), "file:///p/");
    EXPECT_EQ(EffectiveHelpBase(" ", "file:///p/"), "file:///p/");
}

TEST(HelpRequest, ContextHelpClickShowsItsOwnPageOnlyInHelpMode) {
    EXPECT_EQ(ContextHelpClickAction(false), TContextHelpAction::EnterHelpMode);
    EXPECT_EQ(ContextHelpClickAction(true), TContextHelpAction::ShowSenderHelp);
    EXPECT_EQ(DecideHelpPage(true, HelpTopicOf("Contexthelp1"), 2, "b/").PageAddress,
              "b/pixmend_help_476602861_2.htm");
}
