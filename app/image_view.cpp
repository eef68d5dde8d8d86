#include "app/image_view.h"

#include "spectral/thread_team.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

// A scaled copy of the whole picture is kept up to this many pixels (16 MB).
constexpr int64_t kShrunkCopyPixels = int64_t(4) << 20;

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
}

void TImageView::FollowPictureSize() {
    if (!HasPicture()) return;
    const QSize wanted = zoom_.Scaled({Picture.Width, Picture.Height});
    if (size() != wanted) resize(wanted);
}

void TImageView::PictureChanged() {
    shrunk_ = QImage();
    FollowPictureSize();
    update();
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
    shrunk_ = QImage();
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
    QPainter painter(this);
    if (Shrunk()) {
        if (KeepsShrunkCopy()) {
            if (shrunk_.isNull()) {
                shrunk_ = QImage(size(), QImage::Format_RGB32);
                ShrinkPicture(Picture, zoom_, rect(), shrunk_, {0, 0});
            }
            painter.drawImage(exposed.topLeft(), shrunk_, exposed);
            return;
        }
        QImage part(exposed.size(), QImage::Format_RGB32);
        ShrinkPicture(Picture, zoom_, exposed, part, {0, 0});
        painter.drawImage(exposed.topLeft(), part);
        return;
    }
    // At 100 % and above: the cells under the exposed pixels, each cell a
    // square of whole pixels.
    const QRect all(0, 0, Picture.Width, Picture.Height);
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
    RunOnThreads(cells > (int64_t(1) << 20) ? ResolveThreadCount(0) : 1, work);
}

void CopyImageView(TImageView& target, const TImageView& source) {
    if (&target == &source) return;
    target.setGeometry(source.geometry());
    target.ImageModified = source.ImageModified;
    target.Picture = source.Picture;
    target.PictureChanged();
}
