#pragma once
// The image view: a widget that shows a 24-bit bitmap at one screen pixel per
// image pixel. It owns the bitmap the rest of the program draws into (the
// display writes the spectrum into Picture, the file commands replace it) and
// carries the integer mark ImageModified: 1 while the image shown came out of
// a transform and has been neither saved, copied nor replaced.
//
// The widget paints straight from the bitmap's bytes (they already are in the
// blue-green-red order of QImage::Format_BGR888), so a redraw never copies
// the picture. Whoever changes Picture calls PictureChanged().

#include "spectral/bitmap.h"

#include <QPoint>
#include <QWidget>

class TImageView : public QWidget {
    Q_OBJECT
public:
    explicit TImageView(QWidget* parent = nullptr);

    TBitmap24 Picture;
    int ImageModified = 0;

    // Repaints after the bitmap's pixels or size changed.
    void PictureChanged();
    // Repaints the part of the view whose pixels changed.
    void PictureChanged(const QRect& area);
    bool HasPicture() const { return !Picture.Empty(); }

signals:
    void clicked();
    void doubleClicked();
    // Pointer events in view coordinates (the picture's pixels). A double
    // click's second press arrives as a press too.
    void pointerPressed(QPoint viewPos, Qt::MouseButton button);
    void pointerMoved(QPoint viewPos, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void pointerReleased(QPoint viewPos, Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// CopyImageView: left, top, width, height, the mark and an independent copy
// of the picture go from source to target.
void CopyImageView(TImageView& target, const TImageView& source);
