#include "filter/zoom_form.h"

#include "imagefile/image_file_qt.h"

#include <QCloseEvent>
#include <QPainter>
#include <QVBoxLayout>

TZoomPicture::TZoomPicture(QWidget* parent) : QWidget(parent) {
    setObjectName("Image2");
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Before the first update the picture is the empty grey of a zoom
    // window with no cells.
    picture_ = QImage(64, 64, QImage::Format_RGB888);
    picture_.fill(QColor(127, 127, 127));
}

void TZoomPicture::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void TZoomPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (picture_.isNull()) {
        painter.fillRect(rect(), QColor(127, 127, 127));
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Scaling here (not in drawImage) keeps the cell edges at whole device
    // pixels whatever the painter's transform does with fractions.
    const QImage scaled = picture_.scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    painter.drawImage(rect(), scaled);
}

TFormZoom::TFormZoom(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("FormZoom");
    setWindowTitle("zoom");
    Image2 = new TZoomPicture(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image2);
    // The outer size is 192 x 192 at first; without a frame yet, the client
    // area takes that size and the window system adds its frame.
    resize(192, 192);
}

void TFormZoom::SetPicture(const QImage& picture) {
    Image2->SetPicture(picture);
}

void TFormZoom::SetPicture(const TBitmap24& picture) {
    Image2->SetPicture(ToQImage(picture));
}

void TFormZoom::closeEvent(QCloseEvent* event) {
    // Any close (the close box, or a close() on the window) leaves the window
    // hidden, and the zoom button must then show it as up; hiding it by the
    // button itself sends no close event.
    QWidget::closeEvent(event);
    if (event->isAccepted()) emit closedByUser();
}
