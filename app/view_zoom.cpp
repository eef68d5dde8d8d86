#include "app/view_zoom.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace {

constexpr std::array<TViewZoom, 16> kLadder{{{1, 16},
                                             {1, 12},
                                             {1, 8},
                                             {1, 6},
                                             {1, 4},
                                             {1, 3},
                                             {1, 2},
                                             {2, 3},
                                             {1, 1},
                                             {2, 1},
                                             {3, 1},
                                             {4, 1},
                                             {6, 1},
                                             {8, 1},
                                             {12, 1},
                                             {16, 1}}};

int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

int64_t TViewZoom::CellAt(int64_t pixel) const {
    return FloorDiv(pixel * Den, Num);
}

int64_t TViewZoom::PixelOf(int64_t cell) const {
    return -FloorDiv(-cell * Num, Den);
}

QSize TViewZoom::Scaled(QSize cells) const {
    return {int(std::max<int64_t>(1, PixelOf(cells.width()))),
            int(std::max<int64_t>(1, PixelOf(cells.height())))};
}

int32_t TViewZoom::Percent() const {
    return std::max<int32_t>(1, int32_t((int64_t(Num) * 200 + Den) / (2 * int64_t(Den))));
}

TViewZoom ZoomIn(TViewZoom zoom) {
    for (const TViewZoom& step : kLadder)
        if (zoom < step) return step;
    return zoom;
}

TViewZoom ZoomOut(TViewZoom zoom) {
    for (auto step = kLadder.rbegin(); step != kLadder.rend(); ++step)
        if (*step < zoom) return *step;
    return zoom;
}

TViewZoom FitZoom(QSize picture, QSize room, bool enlarge) {
    if (picture.isEmpty() || room.isEmpty()) return kActualSize;
    const int64_t w = picture.width(), h = picture.height();
    const int64_t rw = room.width(), rh = room.height();
    if (w <= rw && h <= rh) {
        if (!enlarge) return kActualSize;
        const int64_t times = std::min(rw / w, rh / h);
        return {int32_t(std::clamp<int64_t>(times, 1, kLadder.back().Num)), 1};
    }
    constexpr int64_t kDen = 1024;
    // The largest n with n/1024 of each side still inside the room.
    const int64_t n = std::max<int64_t>(1, std::min(rw * kDen / w, rh * kDen / h));
    const int64_t common = std::gcd(n, kDen);
    return {int32_t(n / common), int32_t(kDen / common)};
}
