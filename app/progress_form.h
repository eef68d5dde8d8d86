#pragma once
// The progress window of a long run: a text (the phase and the time left), a
// bar in tenths of a percent, and Cancel. It only shows; whoever runs the
// work decides what Cancel, Escape and the close box (all three ask through
// cancelRequested) do. Made once and filled anew for each run.

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

class TFormProgress final : public QDialog {
    Q_OBJECT
public:
    explicit TFormProgress(QWidget* parent);
    // A new run: the title, the first text, the bar at 0 and Cancel enabled.
    void Begin(const QString& title, const QString& text, const QString& cancelCaption);
    void SetText(const QString& text);
    void SetPercent(double percent);
    void DisableCancel();

signals:
    void cancelRequested();

private:
    QLabel* text_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};
