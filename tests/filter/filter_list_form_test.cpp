// The filter list window on real widgets: ListBox1 always shows the list's
// lines, the Delete button removes only the chosen line, and every change is
// signalled to the main window.

#include "filter/filter_list_form.h"
#include "spectral/errors.h"
#include "tests/support/test_support.h"

#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Shown(const TFormProtokol& window) {
    std::vector<std::string> lines;
    for (int i = 0; i < window.ListBox1->topLevelItemCount(); ++i)
        lines.push_back(
            window.ListBox1->topLevelItem(i)->text(TFormProtokol::ColumnLine).toStdString());
    return lines;
}

void SelectRow(TFormProtokol& window, int row) {
    window.ListBox1->setCurrentItem(window.ListBox1->topLevelItem(row));
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

QString Cell(const TFormProtokol& window, int row, int column) {
    return window.ListBox1->topLevelItem(row)->text(column);
}

TEST(FilterListFormTest, IsAToolWindowWhoseLinesFitWithoutSidewaysScrolling) {
    TFormProtokol window;
    EXPECT_EQ(window.windowTitle(), "Filter list");
    EXPECT_EQ(window.windowType(), Qt::Tool);
    EXPECT_EQ(window.Delete->text(), "delete");
    EXPECT_EQ(window.ListBox1->topLevelItemCount(), 0);
    // A long line as the program writes it: a region reaching past the spectrum.
    const std::string longest = "typ=ell,x1=-12.50000,x2=117.50000,y1=108.33333,y2=111.66667";
    window.AppendLine(longest);
    window.show();
    QHeaderView* header = window.ListBox1->header();
    const int viewport = window.ListBox1->viewport()->width();
    EXPECT_LE(header->length(), viewport) << "no column reaches past the visible width";
    const int needed =
        window.ListBox1->fontMetrics().horizontalAdvance(QString::fromStdString(longest));
    EXPECT_GE(header->sectionSize(TFormProtokol::ColumnLine), needed) << "the whole line shows";
}

TEST(FilterListFormTest, ColumnsShowKindPositionAndSizeInCellsOfTheSpectrum) {
    TFormProtokol window;
    window.SetLanguage(1);
    // The mark at left 100, top 50, 40 x 20 on an 800 x 600 spectrum, and
    // its mirrored counterpart.
    window.AppendLine("typ=rec,x1=12.50000,x2=17.50000,y1=8.33333,y2=11.66667");
    window.AppendLine("typ=ell,x1=8.33333,x2=11.66667,y1=12.50000,y2=17.50000");
    window.AppendEntry(kFilterResizeBase, 50.0f, 0, 0, 0);
    window.AppendLine("typ=REC,x1=10");
    window.AppendLine("typ=resize");
    EXPECT_EQ(Cell(window, 0, TFormProtokol::ColumnPosition), "") << "no spectrum yet: no cells";
    window.SetSpectrumSize(800, 600);
    EXPECT_EQ(Cell(window, 0, TFormProtokol::ColumnKind), "Rechteck");
    EXPECT_EQ(Cell(window, 0, TFormProtokol::ColumnPosition), "100, 50");
    EXPECT_EQ(Cell(window, 0, TFormProtokol::ColumnSize), QString::fromUtf8("40 \u00d7 20"));
    EXPECT_EQ(Cell(window, 1, TFormProtokol::ColumnKind), "Ellipse");
    EXPECT_EQ(Cell(window, 1, TFormProtokol::ColumnPosition), "67, 75");
    EXPECT_EQ(Cell(window, 1, TFormProtokol::ColumnSize), QString::fromUtf8("26 \u00d7 30"));
    EXPECT_EQ(Cell(window, 2, TFormProtokol::ColumnPosition), "Prozent");
    EXPECT_EQ(Cell(window, 2, TFormProtokol::ColumnSize), "50 %");
    for (int row : {3, 4}) {
        EXPECT_EQ(Cell(window, row, TFormProtokol::ColumnKind), "unbekannt") << row;
        EXPECT_EQ(Cell(window, row, TFormProtokol::ColumnPosition), "") << row;
    }
    EXPECT_EQ(Cell(window, 4, TFormProtokol::ColumnLine), "typ=resize")
        << "the raw line shows what it holds";

    window.SetLanguage(2);
    EXPECT_EQ(Cell(window, 0, TFormProtokol::ColumnKind), "Rectangle");
    EXPECT_EQ(Cell(window, 3, TFormProtokol::ColumnKind), "unknown");
    EXPECT_EQ(window.ListBox1->headerItem()->text(TFormProtokol::ColumnSize), "Size");
}

TEST(FilterListFormTest, KnowsWhetherItsLinesAreSaved) {
    TTempDir dir;
    TFormProtokol window;
    EXPECT_FALSE(window.Modified());
    window.AppendEntry(kFilterRectangle, 0.1f, 0.2f, 0.1f, 0.2f);
    EXPECT_TRUE(window.Modified());
    window.SaveFilterFile(dir.File("a.flt"));
    EXPECT_FALSE(window.Modified());
    window.AppendLine("x");
    window.DeleteLastEntry();
    EXPECT_TRUE(window.Modified()) << "changed, even if back to the same lines";
    window.LoadFilterFile(dir.File("a.flt"));
    EXPECT_FALSE(window.Modified());
    window.Clear();
    EXPECT_FALSE(window.Modified()) << "an empty list loses nothing";
}

TEST(FilterListFormTest, ShowsEveryLineAndSignalsEveryChange) {
    TFormProtokol window;
    QSignalSpy changed(&window, &TFormProtokol::listChanged);
    EXPECT_TRUE(window.AppendEntry(kFilterRectangle, 0.125f, 0.175f, 0.083333336f, 0.11666667f));
    EXPECT_TRUE(window.AppendEntry(kFilterResizeBase, 50.0f, 0, 0, 0));
    EXPECT_FALSE(window.AppendEntry(kFilterResizeLast + 1, 1, 0, 0, 0));
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
    EXPECT_EQ(window.ListBox1->topLevelItemCount(), 2);
    EXPECT_EQ(window.EntryCount(), 2u);

    window.List().AppendLine("changed from outside");
    window.Reload();
    EXPECT_EQ(Shown(window).back(), "changed from outside");

    window.Clear();
    EXPECT_EQ(changed.count(), 5);
    EXPECT_EQ(window.ListBox1->topLevelItemCount(), 0);
    window.DeleteLastEntry();
    EXPECT_EQ(changed.count(), 5) << "nothing to delete, nothing changed";
}

TEST(FilterListFormTest, DeleteRemovesOnlyTheChosenLine) {
    TFormProtokol window;
    for (const char* line : {"a", "b", "c", "d"}) window.AppendLine(line);
    QSignalSpy changed(&window, &TFormProtokol::listChanged);

    window.Delete->click();
    EXPECT_EQ(window.EntryCount(), 4u) << "no line chosen: nothing deleted";
    EXPECT_EQ(changed.count(), 0);

    SelectRow(window, 2);
    window.Delete->click();
    EXPECT_EQ(Shown(window), (std::vector<std::string>{"a", "b", "d"}));
    EXPECT_EQ(window.List().Lines(), (std::vector<std::string>{"a", "b", "d"}));
    EXPECT_EQ(changed.count(), 1);

    // The choice went with the line: a second click deletes nothing more.
    window.Delete->click();
    EXPECT_EQ(window.EntryCount(), 3u);

    SelectRow(window, 0);
    window.ListBox1->clearSelection();
    window.Delete->click();
    EXPECT_EQ(window.EntryCount(), 3u) << "a current but unselected row is no choice";

    SelectRow(window, 2);
    window.Delete->click();
    SelectRow(window, 0);
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
    ASSERT_EQ(window.ListBox1->topLevelItemCount(), 4);
    EXPECT_EQ(Cell(window, 2, TFormProtokol::ColumnLine), "c");
    EXPECT_EQ(Cell(window, 3, TFormProtokol::ColumnLine), QString::fromUtf8("d\xc3\xa4"))
        << "a byte that is no UTF-8 shows as its 8-bit character";
    EXPECT_EQ(window.List().Line(3), "d\xe4") << "and the line itself stays as loaded";

    EXPECT_THROW(window.LoadFilterFile(dir.File("missing.flt")), Exception);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(window.ListBox1->topLevelItemCount(), 4);
    EXPECT_EQ(window.EntryCount(), 4u);

    const std::string saved = dir.File("saved.flt");
    window.SaveFilterFile(saved);
    const std::string expected("a\r\nb\r\nc\r\nd\xe4\r\n");
    EXPECT_EQ(ReadFileBytes(saved), std::vector<uint8_t>(expected.begin(), expected.end()));
}

} // namespace
