#include "app/view_area.h"

#include "app/image_view.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>
#include <cstdlib>

namespace {

// Neither the white of a page nor the black of a spectrum.
const QColor kBackground(104, 106, 110);
const QColor kEmptyText(236, 238, 242);
// One notch of a wheel.
constexpr int kWheelNotch = 120;

} // namespace

TViewArea::TViewArea(QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setAlignment(Qt::AlignCenter);
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Window, kBackground);
    viewport()->setPalette(palette);
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(true);
    auto* canvas = new QWidget;
    canvas->setObjectName("ScrollBox1Canvas");
    canvas->resize(0, 0);
    setWidget(canvas);
    // Space is held wherever the keyboard focus is, and a pan starts on
    // whatever child of the viewport is under the pointer.
    qApp->installEventFilter(this);
}

TViewArea::~TViewArea() {
    qApp->removeEventFilter(this);
}

void TViewArea::SetView(TImageView* view) {
    view_ = view;
    view->setParent(widget());
    FollowView();
}

TViewZoom TViewArea::Zoom() const {
    return view_ ? view_->Zoom() : kActualSize;
}

void TViewArea::FollowView() {
    if (!view_) return;
    const QSize shown = view_->HasPicture()
                            ? QSize(view_->geometry().right() + 1, view_->geometry().bottom() + 1)
                            : QSize(0, 0);
    if (widget()->size() != shown) widget()->resize(shown);
    viewport()->update();
}

void TViewArea::SetZoom(TViewZoom zoom, std::optional<QPoint> anchor) {
    fit_ = TFit::None;
    if (!view_ || !view_->HasPicture()) {
        if (view_) view_->SetZoom(zoom);
        emit zoomChanged();
        return;
    }
    const QPoint at = anchor.value_or(viewport()->rect().center());
    // Where the anchor lies on the picture, in cells (fractions kept).
    const double before = view_->Zoom().Factor();
    const double cellX = double(at.x() - widget()->x()) / before;
    const double cellY = double(at.y() - widget()->y()) / before;
    view_->SetZoom(zoom);
    FollowView();
    horizontalScrollBar()->setValue(int(std::lround(cellX * zoom.Factor() - at.x())));
    verticalScrollBar()->setValue(int(std::lround(cellY * zoom.Factor() - at.y())));
    emit zoomChanged();
}

void TViewArea::StepZoom(bool in, std::optional<QPoint> anchor) {
    SetZoom(in ? ZoomIn(Zoom()) : ZoomOut(Zoom()), anchor);
}

void TViewArea::FitToWindow() {
    fit_ = TFit::Always;
    Refit();
}

void TViewArea::ShowNewPicture() {
    fit_ = TFit::IfLarger;
    Refit();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void TViewArea::PictureResized() {
    if (view_) view_->PictureChanged();
    if (Fitting()) Refit();
    FollowView();
}

void TViewArea::Refit() {
    if (!view_) return;
    if (view_->HasPicture()) {
        const QSize picture(view_->Picture.Width, view_->Picture.Height);
        view_->SetZoom(FitZoom(picture, maximumViewportSize(), fit_ == TFit::Always));
    }
    FollowView();
    emit zoomChanged();
}

void TViewArea::SetEmptyText(const QString& text) {
    emptyText_ = text;
    viewport()->update();
}

void TViewArea::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    if (Fitting() && view_ && view_->HasPicture()) {
        const QSize picture(view_->Picture.Width, view_->Picture.Height);
        if (!(FitZoom(picture, maximumViewportSize(), fit_ == TFit::Always) == Zoom())) Refit();
    }
}

void TViewArea::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QScrollArea::wheelEvent(event);
        return;
    }
    event->accept();
    if (!view_ || !view_->HasPicture()) return;
    // Fine-grained wheels send parts of a notch; a step is a whole notch.
    wheelSteps_ += event->angleDelta().y();
    while (std::abs(wheelSteps_) >= kWheelNotch) {
        const bool in = wheelSteps_ > 0;
        wheelSteps_ += in ? -kWheelNotch : kWheelNotch;
        StepZoom(in, event->position().toPoint());
    }
}

void TViewArea::paintEvent(QPaintEvent* event) {
    QScrollArea::paintEvent(event);
    if (view_ && view_->HasPicture()) return;
    QPainter painter(viewport());
    QFont font = painter.font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    painter.setFont(font);
    painter.setPen(kEmptyText);
    painter.drawText(viewport()->rect(), Qt::AlignCenter | Qt::TextWordWrap, emptyText_);
}

bool TViewArea::InThisArea(QObject* object) const {
    auto* widget = qobject_cast<QWidget*>(object);
    return widget && (widget == viewport() || viewport()->isAncestorOf(widget));
}

void TViewArea::EndPan() {
    panning_ = false;
    panButton_ = Qt::NoButton;
    if (spaceHeld_)
        viewport()->setCursor(Qt::OpenHandCursor);
    else
        viewport()->unsetCursor();
}

void TViewArea::ReleaseSpace() {
    spaceHeld_ = false;
    if (!panning_) viewport()->unsetCursor();
}

bool TViewArea::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if (key->key() != Qt::Key_Space || !widget || widget->window() != window()) break;
        if (key->isAutoRepeat()) return true;
        if (event->type() == QEvent::KeyPress) {
            spaceHeld_ = true;
            if (!panning_) viewport()->setCursor(Qt::OpenHandCursor);
        } else {
            ReleaseSpace();
        }
        return true;
    }
    case QEvent::WindowDeactivate:
        if (watched == window()) {
            ReleaseSpace();
            if (panning_) EndPan();
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const bool pan = mouse->button() == Qt::MiddleButton ||
                         (mouse->button() == Qt::LeftButton && spaceHeld_);
        if (panning_ || !pan || !InThisArea(watched) || !view_ || !view_->HasPicture()) break;
        panning_ = true;
        panButton_ = mouse->button();
        panFrom_ = mouse->globalPosition().toPoint();
        scrollFrom_ = {horizontalScrollBar()->value(), verticalScrollBar()->value()};
        viewport()->setCursor(Qt::ClosedHandCursor);
        return true;
    }
    case QEvent::MouseMove:
        if (!panning_ || !qobject_cast<QWidget*>(watched)) break;
        {
            const QPoint moved =
                static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - panFrom_;
            horizontalScrollBar()->setValue(scrollFrom_.x() - moved.x());
            verticalScrollBar()->setValue(scrollFrom_.y() - moved.y());
        }
        return true;
    case QEvent::MouseButtonRelease:
        if (!panning_ || !qobject_cast<QWidget*>(watched)) break;
        if (static_cast<QMouseEvent*>(event)->button() == panButton_) EndPan();
        return true;
    default:
        break;
    }
    return QScrollArea::eventFilter(watched, event);
}
