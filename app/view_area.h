#pragma once
// The main window's client area: the picture, or its spectrum, centred on a
// neutral background, zoomed and panned. It holds the image view on a canvas
// of the view's size (scroll bars when the view is larger than the area) and
// decides the view's zoom: a new picture larger than the area is fitted, a
// smaller one shown at 100 %; a fitted view follows the area's size until the
// user zooms.
//
// Ctrl+wheel zooms around the pointer, the wheel scrolls; dragging with the
// middle button, or with the left one while Space is held, pans. Pans never
// reach the view, so they neither draw nor move a mark. Without a picture the
// area shows what to do first.

#include "app/view_zoom.h"

#include <QPoint>
#include <QScrollArea>
#include <QString>

#include <optional>

class TImageView;

class TViewArea : public QScrollArea {
    Q_OBJECT
public:
    explicit TViewArea(QWidget* parent = nullptr);
    ~TViewArea() override;

    // The view shown, put on the area's canvas.
    void SetView(TImageView* view);

    TViewZoom Zoom() const;
    // Whether the zoom follows the area's size.
    bool Fitting() const { return fit_ != TFit::None; }
    // Zooms, keeping the cell under `anchor` (a position of the viewport; its
    // centre when none is given) where it is.
    void SetZoom(TViewZoom zoom, std::optional<QPoint> anchor = std::nullopt);
    void StepZoom(bool in, std::optional<QPoint> anchor = std::nullopt);
    // The whole picture in the area, enlarged by whole steps if it is small.
    void FitToWindow();
    // A new picture: fitted when larger than the area, else at 100 %.
    void ShowNewPicture();
    // The picture changed its size or went away: the canvas follows, and a
    // fitted view fits again.
    void PictureResized();

    void SetEmptyText(const QString& text);

signals:
    void zoomChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class TFit { None, IfLarger, Always };
    void Refit();
    void FollowView();
    bool InThisArea(QObject* object) const;
    void EndPan();
    void ReleaseSpace();

    TImageView* view_ = nullptr;
    TFit fit_ = TFit::IfLarger;
    QString emptyText_;
    int wheelSteps_ = 0;
    bool spaceHeld_ = false;
    bool panning_ = false;
    Qt::MouseButton panButton_ = Qt::NoButton;
    QPoint panFrom_;
    QPoint scrollFrom_;
};
