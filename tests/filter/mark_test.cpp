// Mark geometry: hover zones, drag effects, normalisation, the recorded
// regions and the conversion of fractions to cell bounds.
#include "filter/mark.h"
#include "spectral/errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(ShapeHoverZone, ExamplesOnA40By40Mark) {
    EXPECT_EQ(ShapeHoverZone(3, 3, 40, 40), TShapeZone::TopLeft);
    EXPECT_EQ(ShapeHoverZone(3, 37, 40, 40), TShapeZone::BottomLeft);
    EXPECT_EQ(ShapeHoverZone(20, 20, 40, 40), TShapeZone::Inside);
    EXPECT_EQ(ShapeHoverZone(37, 20, 40, 40), TShapeZone::Right);
    EXPECT_EQ(ShapeHoverZone(37, 3, 40, 40), TShapeZone::TopRight);
    EXPECT_EQ(ShapeHoverZone(37, 37, 40, 40), TShapeZone::BottomRight);
    EXPECT_EQ(ShapeHoverZone(20, 2, 40, 40), TShapeZone::Top);
    EXPECT_EQ(ShapeHoverZone(20, 38, 40, 40), TShapeZone::Bottom);
    EXPECT_EQ(ShapeHoverZone(0, 20, 40, 40), TShapeZone::Left);
}

TEST(ShapeHoverZone, BandsAndNarrowMarks) {
    // The inside needs 5 <= X <= w - 5 and 5 <= Y <= h - 5.
    for (int32_t w : {0, 1, 6, 9, 10, 11, 40, 300})
        for (int32_t h : {0, 3, 9, 10, 40})
            for (int32_t x = -3; x <= w + 3; ++x)
                for (int32_t y = -3; y <= h + 3; ++y) {
                    const TShapeZone z = ShapeHoverZone(x, y, w, h);
                    const bool left = x<5, right = x + 5> w, top = y<5, bottom = y + 5> h;
                    const int col = right ? 2 : left ? 0 : 1; // right wins over left
                    const int row = top ? 0 : bottom ? 2 : 1; // top wins over bottom
                    static const TShapeZone table[3][3] = {
                        {TShapeZone::TopLeft, TShapeZone::Top, TShapeZone::TopRight},
                        {TShapeZone::Left, TShapeZone::Inside, TShapeZone::Right},
                        {TShapeZone::BottomLeft, TShapeZone::Bottom, TShapeZone::BottomRight}};
                    ASSERT_EQ(z, table[row][col]) << x << "," << y << " on " << w << "x" << h;
                }
    // A mark 6 wide: X = 0, 1 left edge, X = 2..5 right edge.
    EXPECT_EQ(ShapeHoverZone(1, 20, 6, 40), TShapeZone::Left);
    for (int32_t x = 2; x <= 5; ++x) EXPECT_EQ(ShapeHoverZone(x, 20, 6, 40), TShapeZone::Right);
    // No overflow at the ends of the range.
    const int32_t big = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(ShapeHoverZone(big, big, big, big), TShapeZone::BottomRight);
    EXPECT_EQ(ShapeHoverZone(std::numeric_limits<int32_t>::min(), 20, 40, 40), TShapeZone::Left);
}

TEST(DragMark, EveryZone) {
    const TMarkRect m{100, 50, 40, 20};
    const int32_t dx = 7, dy = -3;
    const std::pair<TShapeZone, TMarkRect> cases[] = {
        {TShapeZone::Inside, {107, 47, 40, 20}},      {TShapeZone::Left, {107, 50, 33, 20}},
        {TShapeZone::TopLeft, {107, 47, 33, 23}},     {TShapeZone::Top, {100, 47, 40, 23}},
        {TShapeZone::TopRight, {100, 47, 47, 23}},    {TShapeZone::Right, {100, 50, 47, 20}},
        {TShapeZone::BottomRight, {100, 50, 47, 17}}, {TShapeZone::Bottom, {100, 50, 40, 17}},
        {TShapeZone::BottomLeft, {107, 50, 33, 17}},
    };
    for (const auto& [zone, expected] : cases) {
        TMarkRect r = m;
        DragMark(r, zone, dx, dy);
        EXPECT_EQ(r, expected) << int(zone);
        // The opposite movement brings it back.
        DragMark(r, zone, -dx, -dy);
        EXPECT_EQ(r, m) << int(zone);
    }
    // Dragging an edge past the opposite one turns the size negative.
    TMarkRect r = m;
    DragMark(r, TShapeZone::Right, -50, 0);
    EXPECT_EQ(r.W, -10);
    NormaliseMark(r);
    EXPECT_EQ(r, (TMarkRect{90, 50, 10, 20}));
    // Saturates instead of overflowing.
    TMarkRect far{std::numeric_limits<int32_t>::max() - 1, 0, 10, 10};
    DragMark(far, TShapeZone::Inside, 100, 0);
    EXPECT_EQ(far.L, std::numeric_limits<int32_t>::max());
}

TEST(NormaliseMark, DragUpAndLeft) {
    // Pressed at (200, 150), dragged to (180, 120).
    TMarkRect m = MarkSpanning(200, 150, 180, 120);
    EXPECT_EQ(m, (TMarkRect{200, 150, -20, -30}));
    NormaliseMark(m);
    EXPECT_EQ(m, (TMarkRect{180, 120, 20, 30}));
    NormaliseMark(m); // already normal
    EXPECT_EQ(m, (TMarkRect{180, 120, 20, 30}));
    TMarkRect only{10, 10, 5, -5};
    NormaliseMark(only);
    EXPECT_EQ(only, (TMarkRect{10, 5, 5, 5}));
    TMarkRect worst{0, 0, std::numeric_limits<int32_t>::min(), 0};
    NormaliseMark(worst); // -INT32_MIN does not exist: saturates
    EXPECT_EQ(worst.W, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(worst.L, std::numeric_limits<int32_t>::min());
    const TMarkRect initial;
    EXPECT_EQ(initial, (TMarkRect{80, 272, 89, 89}));
}

TEST(MarkRegion, ExampleOn800By600) {
    const TNormalisedRegion r = MarkRegion({100, 50, 40, 20}, 800, 600);
    EXPECT_EQ(r.x1, 0.125f);
    EXPECT_EQ(r.x2, 0.175f);
    EXPECT_EQ(r.y1, 0.083333336f);
    EXPECT_EQ(r.y2, 0.11666667f);
    // The smoothed cells: columns 100..140 and rows 50..70, mirrored 67..93
    // and 75..105.
    EXPECT_EQ(CellBound(800, r.x1), 100);
    EXPECT_EQ(CellBound(800, r.x2), 140);
    EXPECT_EQ(CellBound(600, r.y1), 50);
    EXPECT_EQ(CellBound(600, r.y2), 70);
    const TNormalisedRegion m = MirroredRegion(r);
    EXPECT_EQ(CellBound(800, m.x1), 67);
    EXPECT_EQ(CellBound(800, m.x2), 93);
    EXPECT_EQ(CellBound(600, m.y1), 75);
    EXPECT_EQ(CellBound(600, m.y2), 105);
}

TEST(CellBound, RoundsHalvesToEvenAndRefusesWhatHasNoCell) {
    EXPECT_EQ(CellBound(10, 0.25f), 2); // 2.5
    EXPECT_EQ(CellBound(10, 0.35f), 3); // the float is 0.3499999940...
    EXPECT_EQ(CellBound(4, 0.625f), 2); // 2.5
    EXPECT_EQ(CellBound(4, 0.875f), 4); // 3.5
    EXPECT_EQ(CellBound(4, -0.625f), -2);
    EXPECT_EQ(CellBound(100, 0.0f), 0);
    EXPECT_EQ(CellBound(1000, 1e6f), 1000000000);
    for (float bad : {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, 3e6f})
        EXPECT_THROW(CellBound(1000, bad), EMathError) << bad;
    EXPECT_EQ(RoundToInt32(2147483647.0), 2147483647);
    EXPECT_EQ(RoundToInt32(-2147483648.0), std::numeric_limits<int32_t>::min());
    EXPECT_THROW(RoundToInt32(2147483647.5), EMathError);
    try {
        RoundToInt32(NAN);
    } catch (const EMathError& e) {
        EXPECT_STREQ(e.what(), "Ungültige Gleitkommaoperation");
    }
}

} // namespace
