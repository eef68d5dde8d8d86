// The mark over the spectrum view driven by real pointer events: drawing it,
// its hover zones with their pointer shapes, moving and resizing it by the
// grabbed zone, a double click applying the smoothing once, and the zoom
// window's picture following the pointer.

#include "tests/app/main_form_fixture_test.h"

#include "app/image_view.h"
#include "app/shape_mark.h"
#include "filter/zoom.h"
#include "imagefile/image_file_qt.h"

#include <QApplication>
#include <QMouseEvent>

namespace {

class MainFormMarkTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ShowForm();
    }
    // A pointer event at `pos` in the widget's own coordinates.
    static void Send(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                     Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, buttons,
                          modifiers);
        QApplication::sendEvent(widget, &event);
    }
    void Press(QWidget* w, QPoint p) {
        Send(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
    }
    void Drag(QWidget* w, QPoint p) { Send(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }
    void Hover(QWidget* w, QPoint p) { Send(w, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton); }
    void Release(QWidget* w, QPoint p) {
        Send(w, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
    }
    void DoubleClick(QWidget* w, QPoint p) {
        Press(w, p);
        Release(w, p);
        Send(w, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
        Release(w, p);
    }
    TMarkRect Mark() const { return Form->Shape->Mark(); }
};

TEST_F(MainFormMarkTest, DraggingOnTheViewDrawsTheMarkAndReleaseNormalisesIt) {
    OpenSpectrum(256, 200, 11);
    QWidget* view = Form->Image1;
    Press(view, {200, 150});
    EXPECT_TRUE(Form->Shape->isHidden()) << "a press hides the mark";
    EXPECT_EQ(Mark().L, 200);
    EXPECT_EQ(Mark().T, 150);
    Drag(view, {190, 140});
    EXPECT_FALSE(Form->Shape->isHidden()) << "the first drawing move shows it";
    Drag(view, {180, 120});
    EXPECT_EQ(Mark(), (TMarkRect{200, 150, -20, -30}));
    EXPECT_EQ(Form->Shape->geometry(), QRect(180, 120, 20, 30))
        << "the widget covers the spanned cells";
    Release(view, {180, 120});
    EXPECT_EQ(Mark(), (TMarkRect{180, 120, 20, 30}));
    EXPECT_EQ(Form->Shape->geometry(), QRect(180, 120, 20, 30));
}

TEST_F(MainFormMarkTest, APressWithoutMoveKeepsTheSizeAndNothingHappensOnAnImage) {
    OpenSpectrum(128, 100, 11);
    Form->Shape->SetMark({10, 10, 33, 44});
    Press(Form->Image1, {50, 60});
    Release(Form->Image1, {50, 60});
    EXPECT_EQ(Mark(), (TMarkRect{50, 60, 33, 44}));
    EXPECT_TRUE(Form->Shape->isHidden());

    Form->ToolTransform->click(); // the image: presses and drags draw nothing
    Press(Form->Image1, {5, 6});
    Drag(Form->Image1, {30, 30});
    Release(Form->Image1, {30, 30});
    EXPECT_EQ(Mark(), (TMarkRect{50, 60, 33, 44}));
}

TEST_F(MainFormMarkTest, HoverZonesOfA40x40MarkSetZoneAndPointerShape) {
    OpenSpectrum(128, 100, 11);
    Form->Shape->SetMark({30, 20, 40, 40});
    QWidget* shape = Form->Shape;
    struct TCase {
        QPoint At;
        int Zone;
        Qt::CursorShape Cursor;
    };
    const TCase cases[] = {
        {{3, 3}, 2, Qt::SizeFDiagCursor},  {{3, 37}, 8, Qt::SizeBDiagCursor},
        {{20, 20}, 0, Qt::SizeAllCursor},  {{37, 20}, 5, Qt::SizeHorCursor},
        {{2, 20}, 1, Qt::SizeHorCursor},   {{20, 1}, 3, Qt::SizeVerCursor},
        {{38, 2}, 4, Qt::SizeBDiagCursor}, {{38, 38}, 6, Qt::SizeFDiagCursor},
        {{20, 39}, 7, Qt::SizeVerCursor},
    };
    for (const TCase& c : cases) {
        Hover(shape, c.At);
        EXPECT_EQ(Form->ShapeHoverZone(), c.Zone) << c.At.x() << "," << c.At.y();
        EXPECT_EQ(shape->cursor().shape(), c.Cursor) << c.At.x() << "," << c.At.y();
        EXPECT_EQ(Form->ShapeLastLeft(), 30 + c.At.x());
        EXPECT_EQ(Form->ShapeLastTop(), 20 + c.At.y());
    }
}

TEST_F(MainFormMarkTest, DraggingMovesOrResizesByTheGrabbedZone) {
    OpenSpectrum(128, 100, 11);
    Form->Shape->SetMark({30, 20, 40, 40});
    QWidget* shape = Form->Shape;
    // Inside: moves.
    Hover(shape, {20, 20});
    Press(shape, {20, 20});
    EXPECT_EQ(Form->ShapeGrabZone(), 0);
    Drag(shape, {25, 27});
    EXPECT_EQ(Mark(), (TMarkRect{35, 27, 40, 40}));
    Release(shape, {20, 20}); // the widget moved with the mark

    // The bottom-right corner: resizes, and past the top-left corner the
    // mark turns over until the release normalises it.
    Hover(shape, {38, 38});
    Press(shape, {38, 38});
    EXPECT_EQ(Form->ShapeGrabZone(), 6);
    Drag(shape, {38 - 50, 38 - 45}); // moved by (-50, -45)
    EXPECT_EQ(Mark(), (TMarkRect{35, 27, -10, -5}));
    Release(shape, {0, 0});
    EXPECT_EQ(Mark(), (TMarkRect{25, 22, 10, 5}));
    EXPECT_EQ(Form->Shape->geometry(), QRect(25, 22, 10, 5));
}

TEST_F(MainFormMarkTest, DoubleClickOnTheMarkAppliesOnce) {
    OpenSpectrum(128, 100, 11);
    Form->ToolMirror->setChecked(false);
    Form->Shape->SetMark({30, 20, 40, 40});
    Form->Shape->show();
    const TSpectrumStore before = Store;
    Hover(Form->Shape, {20, 20});
    DoubleClick(Form->Shape, {20, 20});
    EXPECT_EQ(Protokol->EntryCount(), 1u) << "one smoothing for one double click";
    EXPECT_NE(Store.At(0, 50, 40), before.At(0, 50, 40));

    // A double click on the view outside the mark applies nothing.
    DoubleClick(Form->Image1, {100, 90});
    EXPECT_EQ(Protokol->EntryCount(), 1u);
    EXPECT_EQ(Mark().L, 100);
    EXPECT_TRUE(Form->Shape->isHidden());
}

TEST_F(MainFormMarkTest, ShapeChoiceSwitchesButtonsAndKind) {
    OpenSpectrum(64, 64, 11);
    Form->ToolElipse->click();
    EXPECT_EQ(Form->Shape->Kind(), TShapeMark::TKind::Ellipse);
    EXPECT_TRUE(Form->ToolElipse->isChecked());
    EXPECT_FALSE(Form->ToolRec->isChecked());
    Form->Rechteck1->trigger();
    EXPECT_EQ(Form->Shape->Kind(), TShapeMark::TKind::Rectangle);
    EXPECT_TRUE(Form->ToolRec->isChecked());
    EXPECT_FALSE(Form->ToolElipse->isChecked());
}

TEST_F(MainFormMarkTest, ZoomPictureFollowsThePointerNearACorner) {
    OpenSpectrum(200, 150, 11);
    Form->ToolZoom->click();
    EXPECT_TRUE(Zoom->isVisible());
    Form->Shape->hide();
    Hover(Form->Image1, {3, 2});
    const QImage expected = ToQImage(RenderZoom(Store, 3, 2));
    EXPECT_EQ(Zoom->Image2->Picture().convertToFormat(QImage::Format_RGB888), expected);
    Hover(Form->Image1, {197, 148});
    EXPECT_EQ(Zoom->Image2->Picture().convertToFormat(QImage::Format_RGB888),
              ToQImage(RenderZoom(Store, 197, 148)));
    EXPECT_NE(Zoom->Image2->Picture().convertToFormat(QImage::Format_RGB888), expected);

    // Moves that draw a mark do not update it; moves over the mark with no
    // button do.
    const QImage shown = Zoom->Image2->Picture();
    Press(Form->Image1, {100, 100});
    Drag(Form->Image1, {120, 110});
    EXPECT_EQ(Zoom->Image2->Picture(), shown);
    Release(Form->Image1, {120, 110});
    Hover(Form->Shape, {5, 5});
    EXPECT_EQ(Zoom->Image2->Picture().convertToFormat(QImage::Format_RGB888),
              ToQImage(RenderZoom(Store, 105, 105)));

    // The close box puts the button up; the button hides it again.
    Zoom->close();
    EXPECT_FALSE(Form->ToolZoom->isChecked());
    Form->ToolZoom->click();
    EXPECT_TRUE(Zoom->isVisible());
    Form->ToolZoom->click();
    EXPECT_FALSE(Zoom->isVisible());
}

} // namespace
