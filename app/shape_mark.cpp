#include "app/shape_mark.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

TShapeMark::TShapeMark(QWidget* parent) : QWidget(parent) {
    // Hover zones need the pointer's moves also while no button is held.
    setMouseTracking(true);
    SetMark(mark_);
}

void TShapeMark::SetKind(TKind kind) {
    kind_ = kind;
    update();
}

void TShapeMark::SetMark(const TMarkRect& mark) {
    mark_ = mark;
    // The widget spans the cells between the corner and the opposite corner,
    // whichever way the mark was dragged. Sizes beyond what a widget can
    // have are cut; the signed geometry keeps its true values.
    auto clampCoord = [](int64_t v) {
        return int(std::clamp<int64_t>(v, -(int64_t(1) << 24), int64_t(1) << 24));
    };
    const int64_t left = mark.W < 0 ? int64_t(mark.L) + mark.W : mark.L;
    const int64_t top = mark.H < 0 ? int64_t(mark.T) + mark.H : mark.T;
    setGeometry(clampCoord(left), clampCoord(top), clampCoord(std::llabs(int64_t(mark.W))),
                clampCoord(std::llabs(int64_t(mark.H))));
    update();
}

void TShapeMark::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Inverting the pixels below keeps the mark visible on dark and bright
    // spectra alike, and drawing it twice would give the picture back.
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const QColor aqua(0, 255, 255);
    painter.setBrush(QBrush(aqua, Qt::DiagCrossPattern));
    painter.setPen(QPen(aqua, 1, Qt::DotLine));
    const QRect r = rect().adjusted(0, 0, -1, -1);
    if (kind_ == TKind::Ellipse)
        painter.drawEllipse(r);
    else
        painter.drawRect(r);
}

QPoint TShapeMark::ViewPos(const QMouseEvent* event) const {
    return pos() + event->position().toPoint();
}

void TShapeMark::mousePressEvent(QMouseEvent* event) {
    event->accept();
    emit pointerPressed(ViewPos(event), event->button(), false);
}

void TShapeMark::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    emit pointerMoved(ViewPos(event), event->buttons(), event->modifiers());
}

void TShapeMark::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    emit pointerReleased(ViewPos(event), event->button());
}

void TShapeMark::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click arrives here instead of as a press.
    event->accept();
    emit pointerPressed(ViewPos(event), event->button(), true);
}
