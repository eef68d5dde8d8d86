#include "app/image_view.h"

#include "spectral/thread_team.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

namespace {

// A scaled copy of the whole picture is kept up to this many pixels (16 MB).
constexpr int64_t kShrunkCopyPixels = int64_t(4) << 20;
// Deferred drawing goes by bands of rows of the picture, and the scaled copy
// is made again by bands of its own rows.
constexpr int32_t kBandRows = 64;
constexpr int32_t kShrunkBandRows = 16;
// What one turn of the event loop, or one paint, spends on pending drawing:
// well below what a user feels as a frozen window.
constexpr auto kTurnBudget = std::chrono::milliseconds(12);
// Below this many cells a redraw costs less than a turn's budget.
int64_t drawAtOnceCells = int64_t(1) << 21;

// The picture's cells as an image, without a copy of its bytes.
QImage CellsImage(const TBitmap24& picture, const QRect& cells) {
    return QImage(picture.Pixel(cells.left(), cells.top()), cells.width(), cells.height(),
                  qsizetype(picture.RowBytes()), QImage::Format_BGR888);
}

} // namespace

TImageView::TImageView(QWidget* parent) : QWidget(parent) {
    // Without a picture the view is see-through, so the area behind shows.
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    // The zoom follows the pointer also while no button is held.
    setMouseTracking(true);
    drawTimer_.setSingleShot(true);
    drawTimer_.setInterval(0);
    connect(&drawTimer_, &QTimer::timeout, this, &TImageView::DrawingTurn);
}

int64_t TImageView::SetDrawAtOnceCells(int64_t cells) {
    return std::exchange(drawAtOnceCells, cells);
}

void TImageView::FollowPictureSize() {
    if (!HasPicture()) return;
    const QSize wanted = zoom_.Scaled({Picture.Width, Picture.Height});
    if (size() != wanted) resize(wanted);
}

void TImageView::PictureChanged() {
    // A new picture: what was pending was meant for the old one.
    ForgetPending();
    ForgetShrunkCopy();
    FollowPictureSize();
    update();
}

void TImageView::ForgetPending() {
    painter_ = nullptr;
    pendingBands_.clear();
    pendingCount_ = 0;
    pendingBitmap_ = nullptr;
}

void TImageView::ForgetShrunkCopy() {
    shrunk_ = QImage();
    shrunkBands_.clear();
}

void TImageView::DrawLater(const QRect& cells, TRowPainter painter) {
    const QRect area = cells & QRect(0, 0, Picture.Width, Picture.Height);
    if (area.isEmpty()) return;
    // Pending rows outside the new cells would later be drawn over them by
    // the old painter; rows inside are drawn by the new one anyway.
    if (pendingCount_ > 0) {
        if (area.contains(pendingCells_))
            ForgetPending();
        else
            FinishDrawing();
    }
    const int64_t count = int64_t(area.width()) * area.height();
    if (count <= drawAtOnceCells) {
        painter(area.top(), area.bottom());
        PictureChanged(area);
        return;
    }
    painter_ = std::move(painter);
    pendingCells_ = area;
    pendingBands_.assign(size_t((Picture.Height + kBandRows - 1) / kBandRows), 0);
    for (int32_t b = area.top() / kBandRows; b <= area.bottom() / kBandRows; ++b)
        pendingBands_[size_t(b)] = 1;
    pendingCount_ = area.bottom() / kBandRows - area.top() / kBandRows + 1;
    pendingBitmap_ = Picture.Bytes.data();
    ScheduleDrawing();
}

bool TImageView::DrawingPending() const {
    return pendingCount_ > 0 || std::any_of(shrunkBands_.begin(), shrunkBands_.end(),
                                            [](TBand band) { return band != TBand::Fresh; });
}

void TImageView::FinishDrawing() {
    const QRect drawn = DrawPendingRows(QRect(), false, TClock::time_point::max());
    if (drawn.isEmpty()) return;
    update(PixelsOf(drawn) & rect());
    ScheduleDrawing(); // the scaled copy
}

bool TImageView::RowsPending(int32_t r0, int32_t r1) const {
    if (pendingCount_ == 0) return false;
    for (int32_t b = std::max(0, r0) / kBandRows;
         b <= std::max(0, r1) / kBandRows && size_t(b) < pendingBands_.size(); ++b)
        if (pendingBands_[size_t(b)]) return true;
    return false;
}

void TImageView::OutdateShrunkRows(int32_t r0, int32_t r1) {
    if (shrunk_.isNull()) return;
    const QRect pixels = PixelsOf(QRect(0, r0, 1, r1 - r0 + 1)) & rect();
    if (pixels.isEmpty()) return;
    for (int32_t k = pixels.top() / kShrunkBandRows;
         k <= pixels.bottom() / kShrunkBandRows && size_t(k) < shrunkBands_.size(); ++k)
        if (shrunkBands_[size_t(k)] == TBand::Fresh) shrunkBands_[size_t(k)] = TBand::Outdated;
}

QRect TImageView::VisibleCells() const {
    const QRect shown = visibleRegion().boundingRect() & rect();
    if (shown.isEmpty() || !HasPicture()) return {};
    return QRect(CellAt(shown.topLeft()), CellAt(shown.bottomRight())) &
           QRect(0, 0, Picture.Width, Picture.Height);
}

QRect TImageView::DrawPendingRows(const QRect& first, bool onlyFirst, TClock::time_point deadline) {
    if (pendingCount_ == 0) return {};
    // Someone gave the view another bitmap without telling it.
    if (Picture.Bytes.data() != pendingBitmap_ || Picture.Height <= pendingCells_.bottom() ||
        Picture.Width <= pendingCells_.right()) {
        ForgetPending();
        return {};
    }
    const auto meets = [&](int32_t b) {
        return !first.isEmpty() && b * kBandRows <= first.bottom() &&
               (b + 1) * kBandRows > first.top();
    };
    std::vector<int32_t> order;
    for (int pass = 0; pass < (onlyFirst ? 1 : 2); ++pass)
        for (int32_t b = 0; size_t(b) < pendingBands_.size(); ++b)
            if (pendingBands_[size_t(b)] && meets(b) == (pass == 0)) order.push_back(b);
    const int threads = ResolveThreadCount(0);
    const auto rowsOf = [&](int32_t b) {
        return std::pair(std::max(b * kBandRows, pendingCells_.top()),
                         std::min((b + 1) * kBandRows - 1, pendingCells_.bottom()));
    };
    QRect drawn;
    // A few bands on every processor at a time, then a look at the clock.
    const size_t batch = size_t(2 * threads);
    for (size_t at = 0; at < order.size() && TClock::now() < deadline; at += batch) {
        const size_t end = std::min(order.size(), at + batch);
        std::atomic<size_t> next{at};
        RunOnThreads(int(std::min<size_t>(size_t(threads), end - at)), [&](int) {
            for (size_t i = next++; i < end; i = next++) {
                const auto [y1, y2] = rowsOf(order[i]);
                painter_(y1, y2);
            }
        });
        for (size_t i = at; i < end; ++i) {
            const auto [y1, y2] = rowsOf(order[i]);
            pendingBands_[size_t(order[i])] = 0;
            --pendingCount_;
            OutdateShrunkRows(y1, y2);
            drawn |= QRect(pendingCells_.left(), y1, pendingCells_.width(), y2 - y1 + 1);
        }
    }
    if (pendingCount_ == 0) ForgetPending();
    return drawn;
}

QRect TImageView::ShrinkPendingRows(const QRect& first, bool onlyFirst,
                                    TClock::time_point deadline) {
    if (shrunk_.isNull()) return {};
    const auto meets = [&](int32_t k) {
        return !first.isEmpty() && k * kShrunkBandRows <= first.bottom() &&
               (k + 1) * kShrunkBandRows > first.top();
    };
    QRect done;
    for (int pass = 0; pass < (onlyFirst ? 1 : 2); ++pass)
        for (int32_t k = 0; size_t(k) < shrunkBands_.size(); ++k) {
            if (shrunkBands_[size_t(k)] == TBand::Fresh || meets(k) != (pass == 0)) continue;
            if (TClock::now() >= deadline) return done;
            const QRect pixels =
                QRect(0, k * kShrunkBandRows, width(), kShrunkBandRows) & shrunk_.rect();
            // Its cells still to be drawn: it would only be made again.
            const int64_t r0 = zoom_.CellAt(pixels.top());
            const int64_t r1 = std::max(r0 + 1, zoom_.CellAt(int64_t(pixels.bottom()) + 1)) - 1;
            if (RowsPending(int32_t(r0), int32_t(std::min<int64_t>(r1, Picture.Height - 1))))
                continue;
            ShrinkPicture(Picture, zoom_, pixels, shrunk_, pixels.topLeft());
            shrunkBands_[size_t(k)] = TBand::Fresh;
            done |= pixels;
        }
    return done;
}

void TImageView::ScheduleDrawing() {
    if (!drawTimer_.isActive()) drawTimer_.start();
}

void TImageView::DrawingTurn() {
    const TClock::time_point deadline = TClock::now() + kTurnBudget;
    const QRect visible = VisibleCells();
    const QRect drawn = DrawPendingRows(visible, false, deadline);
    if (shrunk_.isNull()) {
        if (!drawn.isEmpty()) update(PixelsOf(drawn) & rect());
    } else {
        const QRect made = ShrinkPendingRows(PixelsOf(visible), false, deadline);
        if (!made.isEmpty()) update(made);
    }
    if (DrawingPending()) ScheduleDrawing();
}

void TImageView::PictureChanged(const QRect& cells) {
    const QRect pixels = PixelsOf(cells) & rect();
    if (!shrunk_.isNull() && !pixels.isEmpty())
        ShrinkPicture(Picture, zoom_, pixels, shrunk_, pixels.topLeft());
    update(pixels);
}

void TImageView::SetZoom(TViewZoom zoom) {
    if (zoom == zoom_) return;
    zoom_ = zoom;
    ForgetShrunkCopy();
    FollowPictureSize();
    update();
    emit zoomChanged();
}

QPoint TImageView::CellAt(QPoint pixel) const {
    const auto cell = [](int64_t v) { return int(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    return {cell(zoom_.CellAt(pixel.x())), cell(zoom_.CellAt(pixel.y()))};
}

QRect TImageView::PixelsOf(const QRect& cells) const {
    if (cells.isEmpty()) return {};
    // Below 100 % a pixel showing cell a can begin in the cells before it.
    auto first = [this](int64_t a) { return std::min(zoom_.PixelOf(a), zoom_.PixelOf(a + 1) - 1); };
    auto clampPixel = [](int64_t v) {
        return int(std::clamp<int64_t>(v, -(int64_t(1) << 30), int64_t(1) << 30));
    };
    return QRect(QPoint(clampPixel(first(cells.left())), clampPixel(first(cells.top()))),
                 QPoint(clampPixel(zoom_.PixelOf(int64_t(cells.right()) + 1) - 1),
                        clampPixel(zoom_.PixelOf(int64_t(cells.bottom()) + 1) - 1)));
}

bool TImageView::KeepsShrunkCopy() const {
    return int64_t(width()) * height() <= kShrunkCopyPixels;
}

void TImageView::paintEvent(QPaintEvent* event) {
    if (!HasPicture()) return;
    const QRect exposed = event->rect() & rect();
    if (exposed.isEmpty()) return;
    // The pending rows in sight first, as far as one paint's budget goes;
    // the rest follows in the next turns and is painted then.
    const TClock::time_point deadline = TClock::now() + kTurnBudget;
    const QRect all(0, 0, Picture.Width, Picture.Height);
    DrawPendingRows(QRect(CellAt(exposed.topLeft()), CellAt(exposed.bottomRight())) & all, true,
                    deadline);
    QPainter painter(this);
    if (Shrunk()) {
        if (KeepsShrunkCopy()) {
            if (shrunk_.isNull()) {
                // Bands not made yet show the background.
                shrunk_ = QImage(size(), QImage::Format_RGB32);
                shrunk_.fill(palette().color(QPalette::Window));
                shrunkBands_.assign(size_t((height() + kShrunkBandRows - 1) / kShrunkBandRows),
                                    TBand::Missing);
            }
            ShrinkPendingRows(exposed, true, deadline);
            if (DrawingPending()) ScheduleDrawing();
            painter.drawImage(exposed.topLeft(), shrunk_, exposed);
            return;
        }
        if (pendingCount_ > 0) ScheduleDrawing();
        QImage part(exposed.size(), QImage::Format_RGB32);
        ShrinkPicture(Picture, zoom_, exposed, part, {0, 0});
        painter.drawImage(exposed.topLeft(), part);
        return;
    }
    if (pendingCount_ > 0) ScheduleDrawing();
    // At 100 % and above: the cells under the exposed pixels, each cell a
    // square of whole pixels.
    const QRect cells = QRect(CellAt(exposed.topLeft()), CellAt(exposed.bottomRight())) & all;
    if (cells.isEmpty()) return;
    painter.drawImage(PixelsOf(cells), CellsImage(Picture, cells));
}

void TImageView::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
    emit pointerPressed(CellAt(event->position().toPoint()), event->button());
}

void TImageView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    emit pointerMoved(CellAt(event->position().toPoint()), event->buttons(), event->modifiers());
}

void TImageView::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    emit pointerReleased(CellAt(event->position().toPoint()), event->button());
    if (click) emit clicked();
}

void TImageView::mouseDoubleClickEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
    emit pointerPressed(CellAt(event->position().toPoint()), event->button());
    if (event->button() == Qt::LeftButton) emit doubleClicked();
}

void TImageView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    emit pointerLeft();
}

void ShrinkPicture(const TBitmap24& picture, TViewZoom zoom, const QRect& pixels, QImage& target,
                   QPoint origin) {
    const QRect area = pixels & QRect(QPoint(0, 0), zoom.Scaled({picture.Width, picture.Height}));
    if (area.isEmpty() || picture.Empty()) return;
    const QPoint to = origin + (area.topLeft() - pixels.topLeft());
    auto cellOf = [&](int64_t pixel, int32_t size) {
        return int32_t(std::clamp<int64_t>(zoom.CellAt(pixel), 0, size));
    };
    // The first cell of each column of pixels, and where the last one ends.
    std::vector<int32_t> columns(size_t(area.width()) + 1);
    for (int i = 0; i <= area.width(); ++i)
        columns[size_t(i)] = cellOf(int64_t(area.left()) + i, picture.Width);
    const int32_t c0 = columns.front(), c1 = columns.back();
    std::atomic<int> nextRow{0};
    auto work = [&](int) {
        std::vector<uint32_t> sums(size_t(c1 - c0) * 3u);
        for (int y = nextRow++; y < area.height(); y = nextRow++) {
            const int32_t r0 = cellOf(int64_t(area.top()) + y, picture.Height);
            const int32_t r1 =
                std::max(r0 + 1, cellOf(int64_t(area.top()) + y + 1, picture.Height));
            std::fill(sums.begin(), sums.end(), 0u);
            for (int32_t r = r0; r < std::min(r1, picture.Height); ++r) {
                const uint8_t* cell = picture.Pixel(c0, r);
                for (size_t i = 0; i < sums.size(); ++i) sums[i] += cell[i];
            }
            auto* out = reinterpret_cast<QRgb*>(target.scanLine(to.y() + y)) + to.x();
            for (int x = 0; x < area.width(); ++x) {
                const int32_t a = columns[size_t(x)];
                const int32_t b = std::max(a + 1, columns[size_t(x) + 1]);
                const uint32_t n = uint32_t(b - a) * uint32_t(r1 - r0);
                uint32_t bgr[3] = {0, 0, 0};
                for (int32_t c = a; c < std::min(b, c1); ++c)
                    for (int k = 0; k < 3; ++k) bgr[k] += sums[size_t(c - c0) * 3u + size_t(k)];
                out[x] = qRgb(int((bgr[2] + n / 2) / n), int((bgr[1] + n / 2) / n),
                              int((bgr[0] + n / 2) / n));
            }
        }
    };
    // Threads pay off only on many cells, as when a whole page is fitted.
    const int64_t cells = int64_t(c1 - c0) * (cellOf(area.bottom() + 1, picture.Height) -
                                              cellOf(area.top(), picture.Height));
    RunOnThreads(cells > (int64_t(1) << 18) ? ResolveThreadCount(0) : 1, work);
}

void CopyImageView(TImageView& target, const TImageView& source) {
    if (&target == &source) return;
    target.setGeometry(source.geometry());
    target.ImageModified = source.ImageModified;
    target.Picture = source.Picture;
    target.PictureChanged();
}
