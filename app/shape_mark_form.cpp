#include "app/shape_mark_form.h"

#include <QMouseEvent>
#include <QPainter>

TShapeMark::TShapeMark(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void TShapeMark::SetKind(TKind kind) {
    kind_ = kind;
    update();
}

void TShapeMark::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Inverting the pixels below keeps the mark visible on dark and bright
    // spectra alike.
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

void TShapeMark::mouseDoubleClickEvent(QMouseEvent* event) {
    QWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) emit doubleClicked();
}
