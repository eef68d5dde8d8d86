#pragma once
// The geometry of the mark that the user lays over the spectrum view to choose
// a region for smoothing: which part of it the pointer is over, what dragging
// that part does, the normalisation of a mark drawn up or to the left, and the
// region in normalised coordinates that smoothing records. Plain functions on
// plain values, so the window only forwards pointer events to them.

#include <cstdint>

// A mark in view coordinates (= cell indices of the spectrum). Width and
// height are negative while the user drags up or to the left of the start.
struct TMarkRect {
    int32_t L = 80;
    int32_t T = 272;
    int32_t W = 89;
    int32_t H = 89;
    bool operator==(const TMarkRect&) const = default;
};

// The part of the mark under the pointer; the numbers are the zone numbers
// the window keeps in its hover and grab fields.
enum class TShapeZone : int32_t {
    Inside = 0,
    Left = 1,
    TopLeft = 2,
    Top = 3,
    TopRight = 4,
    Right = 5,
    BottomRight = 6,
    Bottom = 7,
    BottomLeft = 8,
};

// The zone for a pointer at (x, y) relative to the mark's top-left corner of a
// mark w x h. The edge band is 5 pixels wide; on a mark narrower (lower) than
// 10 pixels the right (top) band wins.
TShapeZone ShapeHoverZone(int32_t x, int32_t y, int32_t w, int32_t h);

// Applies a pointer movement of (dx, dy) while the zone `grab` is dragged.
// Results saturate at the limits of int32.
void DragMark(TMarkRect& mark, TShapeZone grab, int32_t dx, int32_t dy);

// The mark spanning from the drawing origin to the pointer (not normalised).
TMarkRect MarkSpanning(int32_t originX, int32_t originY, int32_t x, int32_t y);

// Makes width and height non-negative, keeping the cells covered: a negative
// width w becomes -w and moves the left edge by w (likewise height and top).
void NormaliseMark(TMarkRect& mark);

// A region as fractions of the spectrum's width (x) and height (y).
struct TNormalisedRegion {
    float x1 = 0.0f, x2 = 0.0f, y1 = 0.0f, y2 = 0.0f;
};

// The region of a (normalised) mark on a W x H spectrum: L / W, (L + w) / W,
// T / H, (T + h) / H, each a single-precision quotient.
TNormalisedRegion MarkRegion(const TMarkRect& mark, int32_t W, int32_t H);

// The region mirrored at the diagonal of the normalised spectrum: the x and y
// fractions exchanged.
TNormalisedRegion MirroredRegion(const TNormalisedRegion& region);

// The cell bound of a fraction on an axis of `size` cells: round(size * f),
// halves to the even neighbour. A fraction that gives no cell number (NaN,
// infinite, or beyond the range of int32) throws EMathError
// "Ungültige Gleitkommaoperation" instead of producing an arbitrary one.
int32_t CellBound(int32_t size, float fraction);

// round(v) as a whole number, with the same error for values that have none.
int32_t RoundToInt32(double v);
