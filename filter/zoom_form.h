#pragma once
// The zoom window "zoom": a small always-on-top tool window that shows the
// 64 x 64 cells around the pointer, stretched to its client area. The main
// window's zoom button shows and hides it; closing it by its close box tells
// the main window (closedByUser) so the button goes up.

#include "spectral/bitmap.h"

#include <QImage>
#include <QWidget>

// The picture control of the zoom window. It stretches its picture to its
// whole area pixel by pixel (nearest neighbour): the user places marks on
// single cells, so each cell must stay a crisp square, never a blur.
class TZoomPicture : public QWidget {
    Q_OBJECT
public:
    explicit TZoomPicture(QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

class TFormZoom : public QWidget {
    Q_OBJECT
public:
    explicit TFormZoom(QWidget* parent = nullptr);

    TZoomPicture* Image2 = nullptr;

    // Shows a new zoom picture (normally 64 x 64 pixels) and repaints.
    void SetPicture(const QImage& picture);
    void SetPicture(const TBitmap24& picture);

signals:
    void closedByUser();

protected:
    void closeEvent(QCloseEvent* event) override;
};
