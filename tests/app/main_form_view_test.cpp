// The view at every zoom: a mark drawn at 25 % and at 400 % covers the cells
// and records the entry it does at 100 %, the zoom window and the status
// bar's readout follow the cell under the pointer, and the zoom keys fit,
// step and reset the view as a user presses them.

#include "tests/app/main_form_fixture_test.h"

#include "app/image_view.h"
#include "app/shape_mark.h"
#include "app/view_zoom.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>

namespace {

class MainFormViewTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ShowForm();
    }
    static void Send(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                     Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
    void Hover(QWidget* w, QPoint p) { Send(w, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton); }
    // The first screen pixel of cell (c, r) at the view's zoom.
    QPoint At(int c, int r) const {
        const TViewZoom zoom = Form->Image1->Zoom();
        return {int(zoom.PixelOf(c)), int(zoom.PixelOf(r))};
    }
    QString Panel(int i) const { return Form->ViewPanels[size_t(i)]->text(); }
};

TEST_F(MainFormViewTest, AMarkRecordsTheSameEntryAtEveryZoom) {
    OpenSpectrum(256, 200, 11);
    Form->ToolMirror->setChecked(false);
    QWidget* view = Form->Image1;
    std::vector<std::string> entries;
    std::vector<QImage> zoomPictures;
    for (const TViewZoom zoom : {TViewZoom{1, 4}, TViewZoom{1, 1}, TViewZoom{4, 1}}) {
        SCOPED_TRACE(zoom.Percent());
        Form->ScrollBox1->SetZoom(zoom);
        ASSERT_EQ(view->size(), zoom.Scaled({256, 200}));
        Send(view, QEvent::MouseButtonPress, At(40, 32), Qt::LeftButton, Qt::LeftButton);
        Send(view, QEvent::MouseMove, At(60, 44), Qt::NoButton, Qt::LeftButton);
        Send(view, QEvent::MouseMove, At(120, 112), Qt::NoButton, Qt::LeftButton);
        Send(view, QEvent::MouseButtonRelease, At(120, 112), Qt::LeftButton, Qt::NoButton);
        EXPECT_EQ(Form->Shape->Mark(), (TMarkRect{40, 32, 80, 80}));
        EXPECT_EQ(Form->Shape->geometry(), QRect(At(40, 32), At(120, 112) - QPoint(1, 1)))
            << "the mark covers its cells' pixels";
        // The edge band is 5 screen pixels wide whatever the zoom.
        const int middle = Form->Shape->height() / 2;
        Hover(Form->Shape, {2, middle});
        EXPECT_EQ(Form->ShapeHoverZone(), 1);
        Hover(Form->Shape, {6, middle});
        EXPECT_EQ(Form->ShapeHoverZone(), 0) << "inside, also where it is one cell in at 400 %";
        Hover(view, At(200, 150));
        zoomPictures.push_back(Zoom->Image2->Picture());
        Form->ToolStempel->click();
        ASSERT_GT(Protokol->EntryCount(), entries.size());
        entries.push_back(Protokol->List().Lines().back());
    }
    EXPECT_EQ(entries[0], entries[1]);
    EXPECT_EQ(entries[2], entries[1]);
    EXPECT_EQ(zoomPictures[0], zoomPictures[1]) << "the zoom window shows the same cells";
    EXPECT_EQ(zoomPictures[2], zoomPictures[1]);
}

TEST_F(MainFormViewTest, TheStatusBarReadsTheCellUnderThePointer) {
    Form->Toolgb->click();
    OpenImage(WriteBitmap("scan.bmp", 256, 200, 3));
    EXPECT_EQ(Panel(0), "256 \u00d7 200 px");
    EXPECT_EQ(Panel(1), "100 %") << "a picture smaller than the window at 100 %";
    Hover(Form->Image1, {64, 48});
    EXPECT_EQ(Panel(2), "x 64  y 48");
    Form->ToolTransform->click();
    Form->ScrollBox1->SetZoom({1, 4});
    EXPECT_EQ(Panel(1), "25 %");
    Hover(Form->Image1, {16, 12});
    // Cell 64 of 256 is 64 / 512 cycles per pixel, 48 of 200 is 48 / 400.
    EXPECT_EQ(Panel(2), "x 64  y 48   0.12500 \u00d7 0.12000 cycles/pixel, distance 80.0 cells");
    Form->ToolDe->click();
    Hover(Form->Image1, {16, 12});
    EXPECT_EQ(Panel(2), "x 64  y 48   0,12500 \u00d7 0,12000 Zyklen/Pixel, Abstand 80,0 Zellen");
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(Form->Image1, &leave);
    EXPECT_EQ(Panel(2), "") << "nothing under the pointer";
}

TEST_F(MainFormViewTest, ZoomKeysFitStepAndReset) {
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    auto press = [&](QKeySequence key) { QTest::keySequence(Form.get(), key); };
    EXPECT_FALSE(Form->ZoomIn1->isEnabled()) << "nothing to zoom";
    OpenImage(WriteBitmap("page.bmp", 2400, 3000, 5));
    const QSize room = Form->ScrollBox1->maximumViewportSize();
    const QSize fitted = Form->Image1->size();
    EXPECT_TRUE(fitted.width() <= room.width() && fitted.height() <= room.height())
        << "a page larger than the window is fitted";
    EXPECT_GT(fitted.height(), room.height() - 4) << "as large as fits";
    EXPECT_TRUE(Form->ScrollBox1->Fitting());

    press(QKeySequence(Qt::Key_Plus));
    EXPECT_EQ(Form->ScrollBox1->Zoom(), ZoomIn(FitZoom({2400, 3000}, room, false)));
    EXPECT_FALSE(Form->ScrollBox1->Fitting());
    press(QKeySequence(Qt::CTRL | Qt::Key_1));
    EXPECT_EQ(Form->Image1->size(), QSize(2400, 3000)) << "Ctrl+1: 100 %";
    // Zooming keeps the cell under the view's centre in place.
    Form->ScrollBox1->horizontalScrollBar()->setValue(600);
    Form->ScrollBox1->verticalScrollBar()->setValue(900);
    const QPoint centre = Form->ScrollBox1->viewport()->rect().center();
    const QPoint cell =
        Form->Image1->CellAt(Form->Image1->mapFrom(Form->ScrollBox1->viewport(), centre));
    press(QKeySequence(Qt::CTRL | Qt::Key_Plus));
    EXPECT_EQ(Form->ScrollBox1->Zoom(), (TViewZoom{2, 1}));
    const QPoint after =
        Form->Image1->CellAt(Form->Image1->mapFrom(Form->ScrollBox1->viewport(), centre));
    EXPECT_LE((after - cell).manhattanLength(), 2);
    press(QKeySequence(Qt::Key_Minus));
    press(QKeySequence(Qt::Key_Minus));
    EXPECT_EQ(Form->ScrollBox1->Zoom(), (TViewZoom{2, 3}));
    press(QKeySequence(Qt::CTRL | Qt::Key_0));
    EXPECT_EQ(Form->Image1->size(), fitted) << "Ctrl+0 fits again";
    EXPECT_EQ(Panel(1), QString("%1 %").arg(Form->ScrollBox1->Zoom().Percent()));

    // A small picture: Ctrl+0 enlarges it by whole steps, so cells stay squares.
    OpenImage(WriteBitmap("small.bmp", 100, 80, 5));
    EXPECT_EQ(Form->Image1->size(), QSize(100, 80));
    press(QKeySequence(Qt::CTRL | Qt::Key_0));
    EXPECT_EQ(Form->ScrollBox1->Zoom().Den, 1);
    EXPECT_GE(Form->ScrollBox1->Zoom().Num, 2);
}

} // namespace
