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
// A big redraw (a page's spectrum is tens of millions of cells) is handed to
// DrawLater: it draws bands of rows over the next turns of the event loop,
// the part in view first, so the window never freezes for the whole page.
// Until then the rows still pending show what they showed before. The
// scaled copy below 100 % is made the same way, band by band. Whoever reads
// Picture as a whole, or changes what the painter reads, calls
// FinishDrawing() first.
//
// Pointer positions go out in view coordinates, the picture's cells, at every
// zoom.

#include "app/view_zoom.h"
#include "spectral/bitmap.h"

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

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

    // Draws rows y1..y2 (inclusive) of the cells given to DrawLater into
    // Picture. Called for disjoint rows on several threads at once.
    using TRowPainter = std::function<void(int32_t y1, int32_t y2)>;
    // The cells (within the picture) are to be drawn by `painter`: at once
    // when they are few, else over the next turns of the event loop. A
    // pending drawing that the new one does not cover is finished first.
    void DrawLater(const QRect& cells, TRowPainter painter);
    // Draws now whatever DrawLater left pending: Picture is then complete.
    void FinishDrawing();
    // Whether rows of Picture, or of the scaled copy shown, are still to be drawn.
    bool DrawingPending() const;
    // DrawLater draws at once up to this many cells (tests lower it); returns
    // the count before.
    static int64_t SetDrawAtOnceCells(int64_t cells);

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
    using TClock = std::chrono::steady_clock;
    enum class TBand : uint8_t { Fresh, Outdated, Missing };

    bool Shrunk() const { return zoom_ < kActualSize; }
    // Whether the whole picture at this zoom is small enough to keep.
    bool KeepsShrunkCopy() const;
    void FollowPictureSize();
    void ForgetPending();
    void ForgetShrunkCopy();
    // The cells shown by the part of the view on the screen.
    QRect VisibleCells() const;
    // Draws pending bands of Picture, those meeting rows `first` of the cells
    // first (only those when `onlyFirst`), until `deadline`; returns the
    // cells drawn.
    QRect DrawPendingRows(const QRect& first, bool onlyFirst, TClock::time_point deadline);
    // Makes bands of the scaled copy again the same way (pixels, not cells).
    QRect ShrinkPendingRows(const QRect& first, bool onlyFirst, TClock::time_point deadline);
    // The shrunk bands showing cell rows r0..r1 are out of date.
    void OutdateShrunkRows(int32_t r0, int32_t r1);
    bool RowsPending(int32_t r0, int32_t r1) const;
    void DrawingTurn();
    void ScheduleDrawing();

    bool pressed_ = false;
    TViewZoom zoom_;
    // The whole picture at a zoom below 100 %, when small enough; null when
    // it has to be made again. shrunkBands_ tells which bands of its rows
    // show what Picture holds.
    QImage shrunk_;
    std::vector<TBand> shrunkBands_;
    // The drawing DrawLater left: its painter, its columns, and which bands
    // of rows are still to be drawn, for the bitmap it was given.
    TRowPainter painter_;
    QRect pendingCells_;
    std::vector<uint8_t> pendingBands_;
    int32_t pendingCount_ = 0;
    const uint8_t* pendingBitmap_ = nullptr;
    QTimer drawTimer_;
};

// Writes the screen pixels `pixels` of `picture` at a zoom below 100 % into
// `target` (RGB32) at `origin`: each pixel the mean of the cells it covers.
void ShrinkPicture(const TBitmap24& picture, TViewZoom zoom, const QRect& pixels, QImage& target,
                   QPoint origin);

// CopyImageView: left, top, width, height, the mark and an independent copy
// of the picture go from source to target.
void CopyImageView(TImageView& target, const TImageView& source);
