#include "app/image_view.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

TImageView::TImageView(QWidget* parent) : QWidget(parent) {
    // The view covers its area completely when it has a picture; without one
    // it is see-through, so the background picture behind it shows.
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    // The zoom follows the pointer also while no button is held.
    setMouseTracking(true);
}

void TImageView::PictureChanged() {
    update();
}

void TImageView::PictureChanged(const QRect& area) {
    update(area);
}

void TImageView::paintEvent(QPaintEvent*) {
    if (!HasPicture()) return;
    QPainter painter(this);
    const QImage frame(Picture.Bytes.data(), Picture.Width, Picture.Height,
                       qsizetype(Picture.RowBytes()), QImage::Format_BGR888);
    painter.drawImage(0, 0, frame);
}

void TImageView::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
    emit pointerPressed(event->position().toPoint(), event->button());
}

void TImageView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    emit pointerMoved(event->position().toPoint(), event->buttons(), event->modifiers());
}

void TImageView::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    emit pointerReleased(event->position().toPoint(), event->button());
    if (click) emit clicked();
}

void TImageView::mouseDoubleClickEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
    emit pointerPressed(event->position().toPoint(), event->button());
    if (event->button() == Qt::LeftButton) emit doubleClicked();
}

void CopyImageView(TImageView& target, const TImageView& source) {
    if (&target == &source) return;
    target.setGeometry(source.geometry());
    target.ImageModified = source.ImageModified;
    target.Picture = source.Picture;
    target.PictureChanged();
}
