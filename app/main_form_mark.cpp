// The mark over the spectrum view under the pointer: drawing a new one from a
// press point, moving and resizing it by the zone it was grabbed at, its
// pointer shapes, a double click applying the smoothing, and the zoom picture
// that follows the pointer. The geometry rules are the engine's (filter/mark.h,
// filter/zoom.h). Positions arrive as cells, whatever the view's zoom.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/image_view.h"
#include "app/shape_mark.h"
#include "filter/zoom.h"
#include "filter/zoom_form.h"

#include <QCursor>

#include <algorithm>
#include <cstdint>

namespace {

Qt::CursorShape ZoneCursor(TShapeZone zone) {
    switch (zone) {
    case TShapeZone::Inside:
        return Qt::SizeAllCursor;
    case TShapeZone::Left:
    case TShapeZone::Right:
        return Qt::SizeHorCursor;
    case TShapeZone::Top:
    case TShapeZone::Bottom:
        return Qt::SizeVerCursor;
    case TShapeZone::TopLeft:
    case TShapeZone::BottomRight:
        return Qt::SizeFDiagCursor;
    case TShapeZone::TopRight:
    case TShapeZone::BottomLeft:
        return Qt::SizeBDiagCursor;
    }
    return Qt::ArrowCursor;
}

} // namespace

void TForm1::Image1MouseDown(Qt::MouseButton, QPoint viewPos) {
    // Also in help mode: the click that follows shows the view's help.
    if (d->CommandState != csSpectrum) return;
    d->DrawingOrigin = viewPos;
    TMarkRect mark = Shape->Mark();
    mark.L = viewPos.x();
    mark.T = viewPos.y();
    // Moved, not placed: before the first drawing there is no mark to apply.
    const bool placed = Shape->Placed();
    Shape->SetMark(mark);
    if (!placed) Shape->Forget();
    Shape->hide();
}

void TForm1::Image1MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers, QPoint viewPos) {
    ShowPointer(viewPos);
    if (d->CommandState == csSpectrum && (buttons & Qt::LeftButton)) {
        // Drawing: the mark spans from the press point to the pointer.
        Shape->SetMark(
            MarkSpanning(d->DrawingOrigin.x(), d->DrawingOrigin.y(), viewPos.x(), viewPos.y()));
        if (Shape->isHidden()) Shape->show();
        return;
    }
    if (d->CommandState == csImage || d->CommandState == csSpectrum) UpdateZoom(viewPos);
}

void TForm1::ShapeMouseDown(Qt::MouseButton, QPoint, bool doubleClick) {
    d->ShapeGrabZone = d->ShapeHoverZone;
    if (d->HelpMode) {
        ShowElementHelp(Shape);
        return;
    }
    // Only the second press of a double click applies, so a double click
    // smooths once.
    if (doubleClick) ToolStempelClick(Shape);
}

void TForm1::ShapeMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
                            QPoint viewPos, QPoint onMark) {
    ShowPointer(viewPos);
    TMarkRect mark = Shape->Mark();
    const auto clamp32 = [](int64_t v) {
        return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    // The edge bands are screen pixels wide, whatever the zoom.
    const QSize pixels = Shape->PixelSize();
    const TShapeZone zone =
        ::ShapeHoverZone(onMark.x(), onMark.y(), pixels.width(), pixels.height());
    d->ShapeHoverZone = int32_t(zone);
    Shape->setCursor(ZoneCursor(zone));
    if (buttons & Qt::LeftButton) {
        const auto grab = TShapeZone(std::clamp(d->ShapeGrabZone, 0, 8));
        DragMark(mark, grab, clamp32(int64_t(viewPos.x()) - d->ShapeLastLeft),
                 clamp32(int64_t(viewPos.y()) - d->ShapeLastTop));
        Shape->SetMark(mark);
    }
    d->ShapeLastLeft = viewPos.x();
    d->ShapeLastTop = viewPos.y();
    if (buttons == Qt::NoButton && modifiers == Qt::NoModifier) UpdateZoom(viewPos);
}

void TForm1::ShapeMouseUp(Qt::MouseButton, QPoint) {
    TMarkRect mark = Shape->Mark();
    NormaliseMark(mark);
    Shape->SetMark(mark);
}

void TForm1::UpdateZoom(QPoint viewPos) {
    // A running transform or open is writing the store; the zoom shows it afterwards.
    if (d->Transform || d->Opening) return;
    RenderZoom(Store, viewPos.x(), viewPos.y(), d->ZoomPicture);
    if (d->Windows.FormZoom) d->Windows.FormZoom->SetPicture(d->ZoomPicture);
}
