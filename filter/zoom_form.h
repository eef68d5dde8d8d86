#pragma once
// The zoom window "zoom": a small always-on-top tool window that shows the
// 64 x 64 cells around the pointer, stretched to its client area. The main
// window's zoom button shows and hides it; closing it by its close box tells
// the main window (closedByUser) so the button goes up.

#include <QImage>
#include <QWidget>

class QLabel;

class TFormZoom : public QWidget {
    Q_OBJECT
public:
    explicit TFormZoom(QWidget* parent = nullptr);

    QLabel* Image2 = nullptr;

    // Shows a new zoom picture (normally 64 x 64 pixels).
    void SetPicture(const QImage& picture);

signals:
    void closedByUser();

protected:
    void closeEvent(QCloseEvent* event) override;
};
