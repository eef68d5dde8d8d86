#pragma once
// The marking shape over the spectrum view: a rectangle or ellipse with an
// aqua diagonal-cross hatch and a dotted outline, laid over the view as a
// child widget so that it stays on the same cells while the view scrolls.
//
// The mark's geometry is signed (its width and height are negative while the
// user drags up or to the left of the starting point) and in cells; the
// widget covers the screen pixels of the cells that geometry spans at the
// view's zoom. The pointer events are handed to the main window in view
// coordinates, which are the spectrum's cell indices, together with the
// pointer's place on the mark in screen pixels, which its edge bands need.
//
// The mark is there once placed (SetMark); Forget takes it away, as a new
// spectrum does, until the user draws one again.

#include "app/view_zoom.h"
#include "filter/mark.h"

#include <QPoint>
#include <QWidget>

class TShapeMark : public QWidget {
    Q_OBJECT
public:
    enum class TKind { Rectangle, Ellipse };

    explicit TShapeMark(QWidget* parent = nullptr);

    TKind Kind() const { return kind_; }
    void SetKind(TKind kind);

    // The signed geometry, in the coordinates of the parent view.
    const TMarkRect& Mark() const { return mark_; }
    void SetMark(const TMarkRect& mark);
    // Whether a mark was placed since the last Forget.
    bool Placed() const { return placed_; }
    // Hides the mark and forgets it.
    void Forget();

    void SetZoom(TViewZoom zoom);
    // The signed width and height in screen pixels.
    QSize PixelSize() const;

signals:
    // Positions are in the parent view's coordinates. doubleClick marks the
    // second press of a double click; onMark is the pointer relative to the
    // mark's corner (L, T) in screen pixels.
    void pointerPressed(QPoint viewPos, Qt::MouseButton button, bool doubleClick);
    void pointerMoved(QPoint viewPos, QPoint onMark, Qt::MouseButtons buttons,
                      Qt::KeyboardModifiers modifiers);
    void pointerReleased(QPoint viewPos, Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPoint ViewPos(const QMouseEvent* event) const;

    TKind kind_ = TKind::Rectangle;
    TMarkRect mark_;
    TViewZoom zoom_;
    bool placed_ = false;
};
