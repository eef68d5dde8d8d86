#include "filter/zoom_form.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

TFormZoom::TFormZoom(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("FormZoom");
    setWindowTitle("zoom");
    resize(192, 192);
    Image2 = new QLabel(this);
    Image2->setObjectName("Image2");
    Image2->setScaledContents(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image2);
}

void TFormZoom::SetPicture(const QImage& picture) { Image2->setPixmap(QPixmap::fromImage(picture)); }

void TFormZoom::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted() && event->spontaneous()) emit closedByUser();
}
