// Context help from the main window, end to end: help mode, the element's
// page fetched from a real HTTP server on a loopback port at the address the
// settings file gives, the notices, and the commands that run in help mode.

#include "tests/app/main_form_fixture_test.h"

#include "help/help_request.h"
#include "help/online_watcher.h"
#include "tests/support/page_server_form.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <fstream>

namespace {

class MainFormHelpTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        Server.SetHtml("/pixmend_help_829470095_2.htm",
                       "<html><body>Opens a picture</body></html>");
        Server.SetHtml("/pixmend_help_829470095_1.htm",
                       "<html><body>Öffnet ein Bild</body></html>");
        Server.SetHtml("/pixmend_help_782302679_2.htm",
                       "<html><body>The language buttons</body></html>");
        std::ofstream(Config.File("Pixmend"), std::ios::binary)
            << "[Prefs]\nHelpBase=" << Server.Base().toStdString() << "\n";
    }

    // Replaces the help window by one whose machine has the given address,
    // shows the main window and waits for the first determination.
    void Start(std::optional<std::string> address) {
        Help = std::make_unique<TFormHelp>(nullptr,
                                           std::make_unique<TFixedAddress>(std::move(address)), 5);
        QObject::connect(Help.get(), &TFormHelp::PageLoaded,
                         [this](bool ok) { Loads.push_back(ok); });
        ConnectOtherWindows();
        ShowForm();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Help->IPWatch1->Determinations() > 0; }, 5000));
    }
    // Runs the event loop until n pages have loaded; whether the last did.
    bool WaitForLoads(size_t n) {
        return QTest::qWaitFor([&] { return Loads.size() >= n; }, 10000) && Loads.back();
    }
    QString Shown() const { return Help->WebBrowser1->toPlainText(); }

    TPageServer Server;
    std::vector<bool> Loads;
};

TEST_F(MainFormHelpTest, ToolOpenShowsItsPageAndNoFileDialog) {
    Start("192.168.1.20");
    ASSERT_EQ(Form->LanguageState().Language, 2);
    Form->ToolHelp->click();
    ASSERT_TRUE(Form->HelpMode());
    Form->ToolOpen->click();
    EXPECT_FALSE(Form->HelpMode());
    EXPECT_TRUE(Dialogs.FileDialogs.empty());
    EXPECT_TRUE(Help->isVisible());
    ASSERT_TRUE(WaitForLoads(1));
    EXPECT_TRUE(Shown().contains("Opens a picture"));
    EXPECT_EQ(Server.asked.back(), "/pixmend_help_829470095_2.htm");
    EXPECT_TRUE(Dialogs.Informations.empty());
    EXPECT_EQ(Form->CommandState(), 0);

    // In German the page name carries language number 1.
    Form->ToolDe->click();
    ASSERT_EQ(Form->LanguageState().Language, 1);
    Form->ToolHelp->click();
    Form->Open1->trigger(); // the menu item has no page of its own
    EXPECT_EQ(Dialogs.Informations, std::vector<QString>{QString::fromUtf8(
                                        "f\u00fcr dieses Element ist keine Hilfe verf\u00fcgbar")});
    EXPECT_TRUE(Dialogs.FileDialogs.empty());
    EXPECT_FALSE(Form->HelpMode());
    Form->ToolHelp->click();
    Form->ToolOpen->click();
    ASSERT_TRUE(WaitForLoads(2));
    EXPECT_EQ(Server.asked.back(), "/pixmend_help_829470095_1.htm");
    EXPECT_TRUE(Shown().contains(QString::fromUtf8("Öffnet ein Bild")));
}

TEST_F(MainFormHelpTest, ContextHelpTwiceShowsItsOwnPage) {
    Server.SetHtml("/pixmend_help_476602861_2.htm", "<html><body>Asking for help</body></html>");
    Start("192.168.1.20");
    Form->ToolHelp->click();
    EXPECT_TRUE(Form->HelpMode());
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WhatsThisCursor);
    Form->ToolHelp->click();
    EXPECT_FALSE(Form->HelpMode());
    EXPECT_FALSE(Form->ToolHelp->isDown());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_TRUE(WaitForLoads(1));
    EXPECT_EQ(Server.asked.back(), "/pixmend_help_476602861_2.htm");
    EXPECT_TRUE(Shown().contains("Asking for help"));
    EXPECT_TRUE(Dialogs.Informations.empty());
}

TEST_F(MainFormHelpTest, LanguageButtonShowsItsPageAndKeepsTheLanguage) {
    Start("192.168.1.20");
    ASSERT_EQ(Form->LanguageState().Language, 2);
    ASSERT_FALSE(Form->ToolDe->isChecked());
    Form->ToolHelp->click();
    Form->ToolDe->click();
    EXPECT_FALSE(Form->ToolDe->isChecked()) << "the click's toggle is undone";
    EXPECT_TRUE(Form->Toolgb->isChecked());
    EXPECT_EQ(Form->LanguageState().Language, 2);
    ASSERT_TRUE(WaitForLoads(1));
    EXPECT_EQ(Server.asked.back(), "/pixmend_help_782302679_2.htm");
    EXPECT_TRUE(Shown().contains("The language buttons"));
}

TEST_F(MainFormHelpTest, OfflineMachineGetsTheNoticeForPagesOnAnotherMachine) {
    std::ofstream(Config.File("Pixmend"), std::ios::binary)
        << "[Prefs]\nHelpBase=http://help.example.org/pixmend/\n";
    for (std::optional<std::string> address :
         {std::optional<std::string>("127.0.0.1"), std::optional<std::string>()}) {
        Dialogs.Informations.clear();
        Start(address);
        Form->ToolHelp->click();
        Form->ToolOpen->click();
        ASSERT_EQ(Dialogs.Informations.size(), 1u);
        EXPECT_EQ(Dialogs.Informations.back(), QString::fromUtf8(kOfflineNotice));
        EXPECT_FALSE(Help->isVisible());
        EXPECT_FALSE(Form->HelpMode());
        EXPECT_TRUE(Dialogs.FileDialogs.empty());
    }
    // Nothing was asked of the server before this fetch.
    Help->Navigate(Server.Base() + "sentinel.htm");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Server.asked.empty(); }, 10000));
    EXPECT_EQ(Server.asked, std::vector<QByteArray>{"/sentinel.htm"});
}

TEST_F(MainFormHelpTest, WithoutAHelpBaseTheShippedPagesAreShownAlsoOffline) {
    std::ofstream(Config.File("Pixmend"), std::ios::binary) << "[Prefs]\nLang=2\n";
    Start("127.0.0.1");
    ASSERT_FALSE(Help->Online());
    Form->ToolHelp->click();
    Form->ToolOpen->click();
    ASSERT_TRUE(WaitForLoads(1));
    EXPECT_TRUE(Dialogs.Informations.empty());
    EXPECT_TRUE(Help->isVisible());
    EXPECT_EQ(Help->CurrentAddress(),
              QUrl::fromLocalFile(Help->LocalPages() + "/pixmend_help_829470095_2.htm"));
    EXPECT_FALSE(Shown().contains("Page not available"));
    EXPECT_TRUE(Server.asked.empty());
}

TEST_F(MainFormHelpTest, AboutAndVersionInfoRunInHelpModeInTheCurrentLanguage) {
    Start("192.168.1.20");
    for (int32_t language : {2, 1}) {
        (language == 1 ? Form->ToolDe : Form->Toolgb)->click();
        ASSERT_EQ(Form->LanguageState().Language, language);
        Form->ToolHelp->click();
        ASSERT_TRUE(Form->HelpMode());
        const size_t asked = Server.asked.size();

        // The about dialog opens modally with the picture alone; its licence
        // button shows the text of the window's language.
        bool pictureAlone = false, licenceOfLanguage = false;
        QTimer::singleShot(0, About.get(), [&] {
            pictureAlone =
                About->isModal() && !About->Memo1->isVisible() && !About->Memo2->isVisible();
            About->BitBtn1->click();
            licenceOfLanguage = About->Memo1->isVisible() == (language == 1) &&
                                About->Memo2->isVisible() == (language != 1);
            About->close();
        });
        Form->about1->trigger();
        EXPECT_TRUE(pictureAlone) << language;
        EXPECT_TRUE(licenceOfLanguage) << language;
        EXPECT_TRUE(Form->HelpMode());

        Form->versioninfo1->trigger();
        EXPECT_TRUE(VersionInfo->isVisible());
        EXPECT_EQ(VersionInfo->Memo1->isVisible(), language == 1);
        EXPECT_EQ(VersionInfo->Memo2->isVisible(), language != 1);
        EXPECT_TRUE(Form->HelpMode());
        const size_t loads = Loads.size();
        Form->ToolHelp->click(); // shows the context help's own page
        EXPECT_FALSE(Form->HelpMode());
        EXPECT_TRUE(QTest::qWaitFor([&] { return Loads.size() > loads; }, 10000));
        EXPECT_EQ(Server.asked.size(), asked + 1) << "neither asked for a page";
    }
    EXPECT_TRUE(Dialogs.Informations.empty());
}

// Resize, before and after, the fast transform and both watermark commands
// ask for their own pages in help mode, and do nothing else; Esc leaves help
// mode without a page.
TEST_F(MainFormHelpTest, EveryCommandHasItsPageAndEscLeavesHelpMode) {
    Start("192.168.1.20");
    OpenImage(WriteBitmap("scan.bmp", 24, 16));
    Form->ToolTransform->click();
    Form->ToolTransform->click(); // the comparison is offered
    ASSERT_EQ(Form->CommandState(), 1);
    const bool fast = Form->FastTransform1->isChecked();
    const struct {
        std::function<void()> Click;
        const char* Page;
    } cases[] = {
        {[&] { Form->ToolCompare->click(); }, "/pixmend_help_718245903_2.htm"},
        {[&] { Form->FastTransform1->trigger(); }, "/pixmend_help_905316472_2.htm"},
        {[&] { Form->SetWatermark1->trigger(); }, "/pixmend_help_563908214_2.htm"},
        {[&] { Form->CheckWatermark1->trigger(); }, "/pixmend_help_563908214_2.htm"},
        {[&] { Form->ToolResize->click(); }, "/pixmend_help_347120958_2.htm"},
    };
    for (const auto& c : cases) {
        if (&c == &cases[4]) Form->ToolTransform->click(); // resizing needs the spectrum
        Form->ToolHelp->click();
        ASSERT_TRUE(Form->HelpMode());
        c.Click();
        EXPECT_FALSE(Form->HelpMode()) << c.Page;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !Server.asked.empty() && Server.asked.back() == c.Page; }, 5000))
            << c.Page;
    }
    EXPECT_TRUE(Dialogs.Informations.empty()) << Dialogs.Informations[0].toStdString();
    EXPECT_TRUE(Dialogs.Prompts.empty()) << "no watermark command ran";
    EXPECT_EQ(Form->FastTransform1->isChecked(), fast);
    EXPECT_FALSE(Resize->isVisible());

    Form->ToolHelp->click();
    ASSERT_TRUE(Form->HelpMode());
    const size_t asked = Server.asked.size();
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    QTest::keyClick(Form.get(), Qt::Key_Escape);
    EXPECT_FALSE(Form->HelpMode());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Server.asked.size(), asked);
}

} // namespace
