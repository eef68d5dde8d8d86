// The help window on real widgets, fetching pages from a real HTTP server on
// a loopback port: the test's own small server, and the command-line help
// server serving the shipped pages.
#include "help/help_form.h"

#include "help/help_address.h"
#include "help/online_watcher.h"
#include "tests/support/page_server_form.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

struct THelpFixture : ::testing::Test {
    void SetUp() override { MakeWindow(std::string("192.168.1.20")); }
    void MakeWindow(std::optional<std::string> address) {
        form = std::make_unique<TFormHelp>(nullptr,
                                           std::make_unique<TFixedAddress>(std::move(address)), 5);
        form->ShowNotice = [this](const QString& text) { notices.push_back(text); };
        loads.clear();
        QObject::connect(form.get(), &TFormHelp::PageLoaded,
                         [this](bool ok) { loads.push_back(ok); });
    }
    // Runs the event loop until n loads have finished; the last one's result.
    std::optional<bool> WaitForLoads(size_t n) {
        if (!QTest::qWaitFor([&] { return loads.size() >= n; }, 10000)) return std::nullopt;
        return loads.back();
    }
    QString Shown() const { return form->WebBrowser1->toPlainText(); }
    void WaitOnline() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->IPWatch1->Determinations() > 0; }, 5000));
    }

    std::unique_ptr<TFormHelp> form;
    std::vector<QString> notices;
    std::vector<bool> loads;
};

const QByteArray kFirstPage =
    "<html><head><title>One</title></head><body><h1>Status bar</h1>"
    "<p>The left panel shows what Pixmend is doing.</p>"
    "<p><a href=\"sub/second.htm\">Next page</a> <a href=\"#end\">down</a></p>"
    "<p><a name=\"end\">End</a></p></body></html>";
const QByteArray kSecondPage =
    "<html><body><h1>Second page</h1><p><a href=\"../first.htm\">back</a></p>"
    "<p><a href=\"file:///etc/passwd\">local</a></p></body></html>";

TEST_F(THelpFixture, WindowAsDesigned) {
    EXPECT_EQ(form->windowTitle(), "Help");
    EXPECT_EQ(form->objectName(), "FormHelp");
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::Tool));
    EXPECT_FALSE(form->isVisible()) << "created hidden";
    // Without configuration: the shipped pages, read from disk.
    EXPECT_EQ(form->LocalPages(), QFileInfo(PIXMEND_SOURCE_DIR "/help/pages").canonicalFilePath());
    EXPECT_EQ(form->HelpBase(),
              QUrl::fromLocalFile(form->LocalPages() + "/").toString().toStdString());
    form->show();
    EXPECT_EQ(form->WebBrowser1->geometry(), form->rect()) << "the view fills the client area";
    form->close();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(THelpFixture, PageLoadsAndItsLinksAreFollowed) {
    TPageServer server;
    server.SetHtml("/first.htm", kFirstPage);
    server.SetHtml("/sub/second.htm", kSecondPage);

    form->Navigate(server.Base() + "first.htm");
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(WaitForLoads(1), true);
    EXPECT_TRUE(Shown().contains("Status bar"));
    EXPECT_TRUE(Shown().contains("The left panel shows what Pixmend is doing."));

    // A relative link is resolved against the page address and fetched.
    emit form->WebBrowser1->anchorClicked(QUrl("sub/second.htm"));
    ASSERT_EQ(WaitForLoads(2), true);
    EXPECT_TRUE(Shown().contains("Second page"));
    EXPECT_EQ(form->CurrentAddress().toString(), server.Base() + "sub/second.htm");
    emit form->WebBrowser1->anchorClicked(QUrl("../first.htm"));
    ASSERT_EQ(WaitForLoads(3), true);
    EXPECT_TRUE(Shown().contains("Status bar"));
    EXPECT_EQ(server.asked,
              (std::vector<QByteArray>{"/first.htm", "/sub/second.htm", "/first.htm"}));

    // A jump inside the page fetches nothing: the next fetch is the next
    // thing the server sees.
    emit form->WebBrowser1->anchorClicked(QUrl("#end"));
    form->Navigate(server.Base() + "sentinel.htm");
    ASSERT_TRUE(WaitForLoads(4).has_value());
    EXPECT_EQ(server.asked.size(), 4u);
    EXPECT_EQ(server.asked.back(), "/sentinel.htm");
}

TEST_F(THelpFixture, LinkClickedInTheViewIsFollowed) {
    TPageServer server;
    server.SetHtml("/first.htm", "<html><body><p><a href=\"second.htm\">" + QByteArray(40, 'X') +
                                     "</a></p></body></html>");
    server.SetHtml("/second.htm", "<html><body><p>Arrived by click</p></body></html>");
    form->Navigate(server.Base() + "first.htm");
    ASSERT_EQ(WaitForLoads(1), true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    // Click on the link text itself.
    QWidget* viewport = form->WebBrowser1->viewport();
    const QRect linkRect = form->WebBrowser1->cursorRect(form->WebBrowser1->textCursor());
    const QPoint at(linkRect.left() + 40, linkRect.center().y());
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    ASSERT_EQ(WaitForLoads(2), true);
    EXPECT_TRUE(Shown().contains("Arrived by click"));
}

TEST_F(THelpFixture, MissingPageShowsTheFailedLoadPage) {
    TPageServer server;
    form->Navigate(server.Base() + "pixmend_help_1_2.htm");
    ASSERT_EQ(WaitForLoads(1), false);
    EXPECT_TRUE(Shown().contains("Page not available"));
    EXPECT_TRUE(Shown().contains(server.Base() + "pixmend_help_1_2.htm"));
    EXPECT_TRUE(Shown().contains("404"));
    EXPECT_FALSE(Shown().contains("no such page")) << "the server's own error body is not shown";
}

TEST_F(THelpFixture, UnreachableServerShowsTheFailedLoadPage) {
    quint16 port = 0;
    {
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
        port = closed.serverPort();
    }
    const QString address = QString("http://127.0.0.1:%1/pixmend_help_223575831_2.htm").arg(port);
    form->Navigate(address);
    ASSERT_EQ(WaitForLoads(1), false);
    EXPECT_TRUE(Shown().contains("Page not available"));
    EXPECT_TRUE(Shown().contains(address));
}

TEST_F(THelpFixture, OnlyWebAddressesAreFetched) {
    TPageServer server;
    server.SetHtml("/sub/second.htm", kSecondPage);
    form->Navigate(server.Base() + "sub/second.htm");
    ASSERT_EQ(WaitForLoads(1), true);
    emit form->WebBrowser1->anchorClicked(QUrl("file:///etc/passwd"));
    ASSERT_EQ(WaitForLoads(2), false);
    EXPECT_TRUE(Shown().contains("Page not available"));
    EXPECT_FALSE(Shown().contains("root:"));
}

TEST_F(THelpFixture, OversizedPageIsRefused) {
    TPageServer server;
    server.Set("/big.htm",
               {200, "Content-Type: text/html\r\n", QByteArray(TFormHelp::kMaxPageBytes + 1, 'a')});
    form->Navigate(server.Base() + "big.htm");
    ASSERT_EQ(WaitForLoads(1), false);
    EXPECT_TRUE(Shown().contains("Page not available"));
}

TEST_F(THelpFixture, LaterNavigationWins) {
    TPageServer server;
    server.SetHtml("/a.htm", "<html><body>Page A</body></html>");
    server.SetHtml("/b.htm", "<html><body>Page B</body></html>");
    form->Navigate(server.Base() + "a.htm");
    form->Navigate(server.Base() + "b.htm");
    ASSERT_EQ(WaitForLoads(1), true);
    EXPECT_TRUE(Shown().contains("Page B"));
    form->Navigate(server.Base() + "sentinel.htm");
    ASSERT_TRUE(WaitForLoads(2).has_value());
    EXPECT_EQ(loads, (std::vector<bool>{true, false})) << "the replaced request reports nothing";
}

TEST_F(THelpFixture, PageTextInTheServersCharacterSet) {
    TPageServer server;
    server.SetHtml("/de.htm", "<html><body><p>Kontexthilfe f\xc3\xbcr Elemente</p></body></html>");
    server.Set("/latin.htm", {200, "Content-Type: text/html; charset=iso-8859-1\r\n",
                              "<html><body><p>Gr\xf6\xdf"
                              "e</p></body></html>"});
    form->Navigate(server.Base() + "de.htm");
    ASSERT_EQ(WaitForLoads(1), true);
    EXPECT_TRUE(Shown().contains(QString::fromUtf8("Kontexthilfe für Elemente")));
    form->Navigate(server.Base() + "latin.htm");
    ASSERT_EQ(WaitForLoads(2), true);
    EXPECT_TRUE(Shown().contains(QString::fromUtf8("Größe")));
}

TEST_F(THelpFixture, HelpRequestOnlineLoadsThePageOfTopicAndLanguage) {
    TPageServer server;
    server.SetHtml("/pixmend_help_223575831_2.htm",
                   "<html><body>English status bar help</body></html>");
    server.SetHtml("/pixmend_help_223575831_1.htm", "<html><body>Deutsche Hilfe</body></html>");
    form->SetHelpBase(server.Base().toStdString());
    WaitOnline();
    ASSERT_TRUE(form->Online());

    EXPECT_EQ(form->ShowHelpPage(223575831, 2), THelpAnswer::ShowPage);
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(WaitForLoads(1), true);
    EXPECT_TRUE(Shown().contains("English status bar help"));
    EXPECT_EQ(form->ShowHelpPage(223575831, 1), THelpAnswer::ShowPage);
    ASSERT_EQ(WaitForLoads(2), true);
    EXPECT_TRUE(Shown().contains("Deutsche Hilfe"));
    EXPECT_TRUE(notices.empty());

    // Closing only hides; the next request shows the window again.
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->ShowHelpPage(223575831, 2), THelpAnswer::ShowPage);
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(WaitForLoads(3), true);

    // An element without a page: the notice, nothing fetched.
    const size_t asked = server.asked.size();
    EXPECT_EQ(form->ShowHelpPage(0, 2), THelpAnswer::NoHelpNotice);
    EXPECT_EQ(form->ShowHelpPage(100, 1), THelpAnswer::NoHelpNotice);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0], "no help is available for this item");
    EXPECT_EQ(notices[1],
              QString::fromUtf8("f\u00fcr dieses Element ist keine Hilfe verf\u00fcgbar"));
    form->Navigate(server.Base() + "sentinel.htm");
    ASSERT_TRUE(WaitForLoads(4).has_value());
    EXPECT_EQ(server.asked.size(), asked + 1);
}

TEST_F(THelpFixture, BaseAddressWithoutTrailingSlashStillFormsThePageAddress) {
    TPageServer server;
    server.SetHtml("/help/pixmend_help_476602861_1.htm", "<html><body>Kontexthilfe</body></html>");
    form->SetHelpBase("  " + server.Base().toStdString() + "help  ");
    EXPECT_EQ(form->HelpBase(), server.Base().toStdString() + "help/");
    WaitOnline();
    EXPECT_EQ(form->ShowHelpPage(476602861, 1), THelpAnswer::ShowPage);
    ASSERT_EQ(WaitForLoads(1), true);
    EXPECT_TRUE(Shown().contains("Kontexthilfe"));
    form->SetLocalPages(QString());
    form->SetHelpBase(std::nullopt);
    EXPECT_EQ(form->HelpBase(), kDefaultHelpBase) << "no shipped pages: the local help server";
}

TEST_F(THelpFixture, OfflineRequestsGetTheOfflineNoticeAndTheWindowStaysHidden) {
    for (std::optional<std::string> address :
         {std::optional<std::string>("127.0.0.1"), std::optional<std::string>(""),
          std::optional<std::string>()}) {
        MakeWindow(address);
        form->SetHelpBase("http://help.example.org/pixmend/");
        WaitOnline();
        notices.clear();
        EXPECT_EQ(form->ShowHelpPage(223575831, 2), THelpAnswer::OfflineNotice);
        EXPECT_EQ(form->ShowHelpPage(0, 1), THelpAnswer::OfflineNotice)
            << "the online test comes first";
        EXPECT_FALSE(form->isVisible());
        ASSERT_EQ(notices.size(), 2u);
        EXPECT_EQ(notices[0], QString::fromUtf8(kOfflineNotice));
        EXPECT_EQ(notices[0].split('\n').size(), 3);
        EXPECT_TRUE(loads.empty());
    }
}

TEST_F(THelpFixture, RequestBeforeTheFirstDeterminationIsOffline) {
    form = std::make_unique<TFormHelp>(nullptr, std::make_unique<TFixedAddress>("192.168.1.20"));
    form->ShowNotice = [this](const QString& text) { notices.push_back(text); };
    form->SetHelpBase("http://help.example.org/pixmend/");
    EXPECT_FALSE(form->Online());
    EXPECT_EQ(form->ShowHelpPage(223575831, 2), THelpAnswer::OfflineNotice);
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Online(); }, 3000));
}

TEST_F(THelpFixture, ShippedPagesAreReadFromTheirFolderOnly) {
    MakeWindow(std::string("127.0.0.1"));
    WaitOnline();
    ASSERT_FALSE(form->Online());
    EXPECT_EQ(form->ShowHelpPage(223575831, 2), THelpAnswer::ShowPage);
    ASSERT_EQ(WaitForLoads(1), true);
    EXPECT_TRUE(Shown().contains("The left panel shows what Pixmend is doing"));
    emit form->WebBrowser1->anchorClicked(QUrl("pixmend_help_223575831_1.htm"));
    ASSERT_EQ(WaitForLoads(2), true);
    EXPECT_EQ(form->CurrentAddress().fileName(), "pixmend_help_223575831_1.htm");

    // Outside the pages' folder nothing is read, also through "..".
    for (const char* link :
         {"file:///etc/passwd", "../../../../../../../etc/passwd", "../help_form.cpp"}) {
        const size_t before = loads.size();
        emit form->WebBrowser1->anchorClicked(QUrl(link));
        ASSERT_EQ(WaitForLoads(before + 1), false) << link;
        EXPECT_TRUE(Shown().contains("Page not available")) << link;
        EXPECT_FALSE(Shown().contains("root:")) << link;
    }
    EXPECT_EQ(form->ShowHelpPage(1234567, 2), THelpAnswer::ShowPage);
    ASSERT_EQ(WaitForLoads(loads.size()), false);
    EXPECT_TRUE(Shown().contains("no such page"));
    EXPECT_TRUE(notices.empty());
}

// The command-line help server with the shipped pages, as a user runs it.
TEST_F(THelpFixture, ShippedPagesFromTheHelpServer) {
    QProcess server;
    server.start(PIXMEND_CLI_PATH,
                 {"help-server", "--port", "0", "--pages", PIXMEND_SOURCE_DIR "/help/pages"});
    ASSERT_TRUE(server.waitForStarted(5000));
    QByteArray out;
    const QRegularExpression portLine("http://127\\.0\\.0\\.1:(\\d+)/");
    QRegularExpressionMatch m;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            out += server.readAllStandardOutput();
            m = portLine.match(QString::fromUtf8(out));
            return m.hasMatch();
        },
        10000))
        << out.constData();
    form->SetHelpBase("http://127.0.0.1:" + m.captured(1).toStdString() + "/");
    WaitOnline();

    EXPECT_EQ(form->ShowHelpPage(223575831, 2), THelpAnswer::ShowPage);
    ASSERT_EQ(WaitForLoads(1), true);
    EXPECT_TRUE(Shown().contains("The left panel shows what Pixmend is doing"));
    emit form->WebBrowser1->anchorClicked(QUrl("pixmend_help_223575831_1.htm"));
    ASSERT_EQ(WaitForLoads(2), true);
    EXPECT_EQ(form->CurrentAddress().fileName(), "pixmend_help_223575831_1.htm");
    EXPECT_NE(Shown(), "");
    EXPECT_FALSE(Shown().contains("Page not available"));

    form->ShowHelpPage(1234567, 2); // a topic without a page on the server
    ASSERT_EQ(WaitForLoads(3), false);
    EXPECT_TRUE(Shown().contains("Page not available"));

    server.terminate();
    server.waitForFinished(5000);
}

} // namespace
