#include "app/shape_mark.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>

TShapeMark::TShapeMark(QWidget* parent) : QWidget(parent) {
    // Hover zones need the pointer's moves also while no button is held.
    setMouseTracking(true);
    SetMark(mark_);
    placed_ = false;
}

void TShapeMark::Forget() {
    hide();
    placed_ = false;
}

void TShapeMark::SetZoom(TViewZoom zoom) {
    zoom_ = zoom;
    const bool placed = placed_;
    SetMark(mark_);
    placed_ = placed;
}

QSize TShapeMark::PixelSize() const {
    auto length = [this](int64_t from, int64_t cells) {
        const int64_t pixels = zoom_.PixelOf(from + cells) - zoom_.PixelOf(from);
        return int(std::clamp<int64_t>(pixels, INT32_MIN, INT32_MAX));
    };
    return {length(mark_.L, mark_.W), length(mark_.T, mark_.H)};
}

void TShapeMark::SetKind(TKind kind) {
    kind_ = kind;
    update();
}

void TShapeMark::SetMark(const TMarkRect& mark) {
    mark_ = mark;
    placed_ = true;
    // The widget spans the cells between the corner and the opposite corner,
    // whichever way the mark was dragged, at least a pixel for a cell. Sizes
    // beyond what a widget can have are cut; the signed geometry keeps its
    // true values.
    auto clampCoord = [](int64_t v) {
        return int(std::clamp<int64_t>(v, -(int64_t(1) << 28), int64_t(1) << 28));
    };
    auto span = [this](int64_t from, int64_t cells) {
        const int64_t first = cells < 0 ? from + cells : from;
        const int64_t count = std::llabs(cells);
        const int64_t start = zoom_.PixelOf(first);
        const int64_t length = zoom_.PixelOf(first + count) - start;
        return std::pair{start, count > 0 ? std::max<int64_t>(1, length) : 0};
    };
    const auto [left, width] = span(mark.L, mark.W);
    const auto [top, height] = span(mark.T, mark.H);
    setGeometry(clampCoord(left), clampCoord(top), clampCoord(width), clampCoord(height));
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
    const QPoint pixel = pos() + event->position().toPoint();
    const auto cell = [](int64_t v) { return int(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    return {cell(zoom_.CellAt(pixel.x())), cell(zoom_.CellAt(pixel.y()))};
}

void TShapeMark::mousePressEvent(QMouseEvent* event) {
    event->accept();
    emit pointerPressed(ViewPos(event), event->button(), false);
}

void TShapeMark::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const QPoint pixel = pos() + event->position().toPoint();
    const QPoint corner(int(std::clamp<int64_t>(zoom_.PixelOf(mark_.L), INT32_MIN, INT32_MAX)),
                        int(std::clamp<int64_t>(zoom_.PixelOf(mark_.T), INT32_MIN, INT32_MAX)));
    emit pointerMoved(ViewPos(event), pixel - corner, event->buttons(), event->modifiers());
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
