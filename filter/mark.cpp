#include "filter/mark.h"

#include "spectral/errors.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
int32_t Saturate(int64_t v) {
    return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}
} // namespace

TShapeZone ShapeHoverZone(int32_t x, int32_t y, int32_t w, int32_t h) {
    // Widened, so that x + 5 cannot overflow for any pointer position.
    const int64_t X = x, Y = y;
    int zone = 0;
    if (X < 5) zone = 1;
    if (X + 5 > w) zone = 5;
    if (Y < 5)
        zone = zone == 0 ? 3 : zone == 1 ? 2 : 4;
    else if (Y + 5 > h)
        zone = zone == 0 ? 7 : zone == 1 ? 8 : 6;
    return TShapeZone(zone);
}

void DragMark(TMarkRect& mark, TShapeZone grab, int32_t dx, int32_t dy) {
    int64_t L = mark.L, T = mark.T, W = mark.W, H = mark.H;
    switch (grab) {
    case TShapeZone::Inside:
        L += dx;
        T += dy;
        break;
    case TShapeZone::Left:
        L += dx;
        W -= dx;
        break;
    case TShapeZone::TopLeft:
        L += dx;
        T += dy;
        W -= dx;
        H -= dy;
        break;
    case TShapeZone::Top:
        T += dy;
        H -= dy;
        break;
    case TShapeZone::TopRight:
        W += dx;
        T += dy;
        H -= dy;
        break;
    case TShapeZone::Right:
        W += dx;
        break;
    case TShapeZone::BottomRight:
        W += dx;
        H += dy;
        break;
    case TShapeZone::Bottom:
        H += dy;
        break;
    case TShapeZone::BottomLeft:
        L += dx;
        W -= dx;
        H += dy;
        break;
    }
    mark = {Saturate(L), Saturate(T), Saturate(W), Saturate(H)};
}

TMarkRect MarkSpanning(int32_t originX, int32_t originY, int32_t x, int32_t y) {
    return {originX, originY, Saturate(int64_t(x) - originX), Saturate(int64_t(y) - originY)};
}

void NormaliseMark(TMarkRect& mark) {
    if (mark.W < 0) {
        const int64_t w = -int64_t(mark.W);
        mark.W = Saturate(w);
        mark.L = Saturate(int64_t(mark.L) - w);
    }
    if (mark.H < 0) {
        const int64_t h = -int64_t(mark.H);
        mark.H = Saturate(h);
        mark.T = Saturate(int64_t(mark.T) - h);
    }
}

TNormalisedRegion MarkRegion(const TMarkRect& mark, int32_t W, int32_t H) {
    // Quotients of whole numbers formed in double (exact operands) and then
    // rounded once to float.
    const auto q = [](int64_t n, int32_t d) { return float(double(n) / double(d)); };
    return {q(mark.L, W), q(int64_t(mark.L) + mark.W, W), q(mark.T, H),
            q(int64_t(mark.T) + mark.H, H)};
}

TNormalisedRegion MirroredRegion(const TNormalisedRegion& region) {
    return {region.y1, region.y2, region.x1, region.x2};
}

int32_t RoundToInt32(double v) {
    // nearbyint rounds halves to the even neighbour in the default mode.
    const double r = std::nearbyint(v);
    if (!(r >= double(std::numeric_limits<int32_t>::min()) &&
          r <= double(std::numeric_limits<int32_t>::max())))
        throw EMathError(TMessage{TMessageId::InvalidFloat, {}, nullptr});
    return int32_t(r);
}

int32_t CellBound(int32_t size, float fraction) {
    return RoundToInt32(double(size) * double(fraction));
}
