#pragma once
// The image view: a widget that shows a 24-bit bitmap at the view's zoom. It
// owns the bitmap the rest of the program draws into (the display writes the
// spectrum into Picture, the file commands replace it) and carries the
// integer mark ImageModified: 1 while the image shown came out of a transform
// and has been neither saved, copied nor replaced.
//
// The widget is as large as the picture at its zoom and paints only the part
// that is exposed, scaled from the bitmap's bytes (they already are in the
// blue-green-red order of QImage::Format_BGR888): never a full-size scaled
// copy. Below 100 % each screen pixel is the mean of the cells it covers, so a
// halftone screen does not fold into false patterns; a picture that small is
// kept scaled (a few megabytes at most) and only redrawn where cells change.
// Above 100 % each cell is a square of whole pixels. Whoever changes Picture
// calls PictureChanged().
//
// Pointer positions go out in view coordinates, the picture's cells, at every
// zoom.

#include "app/view_zoom.h"
#include "spectral/bitmap.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

class TImageView : public QWidget {
    Q_OBJECT
public:
    explicit TImageView(QWidget* parent = nullptr);

    TBitmap24 Picture;
    int ImageModified = 0;

    // Repaints after the bitmap's pixels or size changed; the widget takes
    // the picture's size at its zoom.
    void PictureChanged();
    // Repaints the cells whose pixels changed.
    void PictureChanged(const QRect& cells);
    bool HasPicture() const { return !Picture.Empty(); }

    TViewZoom Zoom() const { return zoom_; }
    void SetZoom(TViewZoom zoom);
    // The cell under a position of the widget.
    QPoint CellAt(QPoint pixel) const;
    // The screen pixels that show any part of the cells.
    QRect PixelsOf(const QRect& cells) const;

signals:
    void clicked();
    void doubleClicked();
    // Pointer events in view coordinates (the picture's cells). A double
    // click's second press arrives as a press too.
    void pointerPressed(QPoint viewPos, Qt::MouseButton button);
    void pointerMoved(QPoint viewPos, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void pointerReleased(QPoint viewPos, Qt::MouseButton button);
    void pointerLeft();
    void zoomChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool Shrunk() const { return zoom_ < kActualSize; }
    // Whether the whole picture at this zoom is small enough to keep.
    bool KeepsShrunkCopy() const;
    void FollowPictureSize();

    bool pressed_ = false;
    TViewZoom zoom_;
    // The whole picture at a zoom below 100 %, when small enough; null when
    // it has to be made again.
    QImage shrunk_;
};

// Writes the screen pixels `pixels` of `picture` at a zoom below 100 % into
// `target` (RGB32) at `origin`: each pixel the mean of the cells it covers.
void ShrinkPicture(const TBitmap24& picture, TViewZoom zoom, const QRect& pixels, QImage& target,
                   QPoint origin);

// CopyImageView: left, top, width, height, the mark and an independent copy
// of the picture go from source to target.
void CopyImageView(TImageView& target, const TImageView& source);
