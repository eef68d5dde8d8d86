#pragma once
// The view's zoom as a fraction Num / Den of screen pixels per cell. A
// fraction, not a floating factor, so that a pointer position maps to the
// same cell at every zoom without rounding doubt: cells are cells, and a mark
// drawn at 25 % covers exactly the cells it would cover at 100 %.
//
// Screen pixel p shows cell floor(p · Den / Num); cell c starts at pixel
// ceil(c · Num / Den). Zooms above 100 % are whole numbers, so every cell is
// a square of whole pixels.

#include <QSize>

#include <cstdint>

struct TViewZoom {
    int32_t Num = 1;
    int32_t Den = 1;

    // The cell under screen pixel `pixel` (also for negative pixels, left of
    // or above the picture).
    int64_t CellAt(int64_t pixel) const;
    // The first screen pixel of cell `cell`; PixelOf(n) is also how many
    // pixels n cells take.
    int64_t PixelOf(int64_t cell) const;
    // The size that `cells` take on the screen (at least one pixel each way).
    QSize Scaled(QSize cells) const;
    double Factor() const { return double(Num) / double(Den); }
    // Rounded to a whole percent, at least 1.
    int32_t Percent() const;
    bool operator==(const TViewZoom& other) const {
        return int64_t(Num) * other.Den == int64_t(other.Num) * Den;
    }
    bool operator<(const TViewZoom& other) const {
        return int64_t(Num) * other.Den < int64_t(other.Num) * Den;
    }
};

constexpr TViewZoom kActualSize{1, 1};

// The next step of the zoom ladder (1/16 ... 16) above or below `zoom`; the
// ladder's end stays where it is.
TViewZoom ZoomIn(TViewZoom zoom);
TViewZoom ZoomOut(TViewZoom zoom);

// The largest zoom at which `picture` fits into `room`: below 100 % a
// fraction of 1/1024 steps, above it (only when `enlarge`) a whole number up
// to the ladder's top.
TViewZoom FitZoom(QSize picture, QSize room, bool enlarge);
