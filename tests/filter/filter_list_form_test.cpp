// The filter list window on real widgets: ListBox1 always shows the list's
// lines, the Delete button removes only the chosen line, and every change is
// signalled to the main window.

#include "filter/filter_list_form.h"
#include "spectral/errors.h"
#include "tests/support/test_support.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Shown(const TFormProtokol& window) {
    std::vector<std::string> lines;
    for (int i = 0; i < window.ListBox1->count(); ++i)
        lines.push_back(window.ListBox1->item(i)->text().toStdString());
    return lines;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(FilterListFormTest, IsAToolWindowWithItsControlsInPlace) {
    TFormProtokol window;
    EXPECT_EQ(window.windowTitle(), "Filter list");
    EXPECT_EQ(window.windowType(), Qt::Tool);
    EXPECT_EQ(window.size(), QSize(255, 211));
    EXPECT_EQ(window.Delete->text(), "delete");
    EXPECT_EQ(window.Delete->geometry(), QRect(8, 3, 42, 17));
    EXPECT_EQ(window.ListBox1->geometry(), QRect(8, 24, 241, 177));
    EXPECT_EQ(window.ListBox1->count(), 0);
    EXPECT_EQ(window.EntryCount(), 0u);
}

TEST(FilterListFormTest, ShowsEveryLineAndSignalsEveryChange) {
    TFormProtokol window;
    QSignalSpy changed(&window, &TFormProtokol::listChanged);
    EXPECT_TRUE(window.AppendEntry(0, 0.125f, 0.175f, 0.083333336f, 0.11666667f));
    EXPECT_TRUE(window.AppendEntry(100, 50.0f, 0, 0, 0));
    EXPECT_FALSE(window.AppendEntry(105, 1, 0, 0, 0));
    EXPECT_EQ(changed.count(), 2) << "a kind without a line changes nothing";
    window.AppendLine("kept as typed");
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(Shown(window), (std::vector<std::string>{
                                 "typ=rec,x1=12.50000,x2=17.50000,y1=8.33333,y2=11.66667",
                                 "typ=resize100,x1=5000.00000,x2=0.00000,y1=0.00000,y2=0.00000",
                                 "kept as typed"}));
    EXPECT_EQ(window.List().Lines().size(), 3u);
    EXPECT_EQ(window.GetEntry(1).typ, 100);

    window.DeleteLastEntry();
    EXPECT_EQ(changed.count(), 4);
    EXPECT_EQ(window.ListBox1->count(), 2);
    EXPECT_EQ(window.EntryCount(), 2u);

    window.List().AppendLine("changed from outside");
    window.Reload();
    EXPECT_EQ(Shown(window).back(), "changed from outside");

    window.Clear();
    EXPECT_EQ(changed.count(), 5);
    EXPECT_EQ(window.ListBox1->count(), 0);
    window.DeleteLastEntry();
    EXPECT_EQ(changed.count(), 5) << "nothing to delete, nothing changed";
}

TEST(FilterListFormTest, DeleteRemovesOnlyTheChosenLine) {
    TFormProtokol window;
    for (const char* line : {"a", "b", "c", "d"})
        window.AppendLine(line);
    QSignalSpy changed(&window, &TFormProtokol::listChanged);

    window.Delete->click();
    EXPECT_EQ(window.EntryCount(), 4u) << "no line chosen: nothing deleted";
    EXPECT_EQ(changed.count(), 0);

    window.ListBox1->setCurrentRow(2);
    window.Delete->click();
    EXPECT_EQ(Shown(window), (std::vector<std::string>{"a", "b", "d"}));
    EXPECT_EQ(window.List().Lines(), (std::vector<std::string>{"a", "b", "d"}));
    EXPECT_EQ(changed.count(), 1);

    // The choice went with the line: a second click deletes nothing more.
    window.Delete->click();
    EXPECT_EQ(window.EntryCount(), 3u);

    window.ListBox1->setCurrentRow(0);
    window.ListBox1->clearSelection();
    window.Delete->click();
    EXPECT_EQ(window.EntryCount(), 3u) << "a current but unselected row is no choice";

    window.ListBox1->setCurrentRow(2);
    window.Delete->click();
    window.ListBox1->setCurrentRow(0);
    window.Delete->click();
    EXPECT_EQ(Shown(window), (std::vector<std::string>{"b"}));
    EXPECT_EQ(window.List().Lines(), (std::vector<std::string>{"b"}));
}

TEST(FilterListFormTest, LoadShowsTheFileLinesAndAFailedLoadKeepsTheList) {
    TTempDir dir;
    const std::string path = dir.File("f.flt");
    WriteBytes(path, std::string("a\rb\nc\r\nd\xe4"));
    TFormProtokol window;
    window.AppendLine("old");
    QSignalSpy changed(&window, &TFormProtokol::listChanged);
    window.LoadFilterFile(path);
    EXPECT_EQ(changed.count(), 1);
    ASSERT_EQ(window.ListBox1->count(), 4);
    EXPECT_EQ(window.ListBox1->item(2)->text(), "c");
    EXPECT_EQ(window.ListBox1->item(3)->text(), QString::fromUtf8("d\xc3\xa4"))
        << "a byte that is no UTF-8 shows as its 8-bit character";
    EXPECT_EQ(window.List().Line(3), "d\xe4") << "and the line itself stays as loaded";

    EXPECT_THROW(window.LoadFilterFile(dir.File("missing.flt")), Exception);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(window.ListBox1->count(), 4);
    EXPECT_EQ(window.EntryCount(), 4u);

    const std::string saved = dir.File("saved.flt");
    window.SaveFilterFile(saved);
    const std::string expected("a\r\nb\r\nc\r\nd\xe4\r\n");
    EXPECT_EQ(ReadFileBytes(saved), std::vector<uint8_t>(expected.begin(), expected.end()));
}

} // namespace
