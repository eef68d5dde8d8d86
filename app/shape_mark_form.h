#pragma once
// The marking shape over the spectrum view: a rectangle or ellipse with an
// aqua diagonal-cross hatch and a dotted outline, laid over the view as a
// child widget so that it stays on the same cells while the view scrolls.
// Here it is drawn and carries its kind; drawing it with the pointer, moving
// and resizing it, and its zones belong to the marking code.

#include <QWidget>

class TShapeMark : public QWidget {
    Q_OBJECT
public:
    enum class TKind { Rectangle, Ellipse };

    explicit TShapeMark(QWidget* parent = nullptr);

    TKind Kind() const { return kind_; }
    void SetKind(TKind kind);

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TKind kind_ = TKind::Rectangle;
};
