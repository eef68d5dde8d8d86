#pragma once
// The resize dialog "Resize": the value and the mode of a spectral resize.
// Its texts are the same in both interface languages. The resize command
// reads Value() and Mode() after an accepted exec().

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

class TFResize : public QDialog {
    Q_OBJECT
public:
    explicit TFResize(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QSpinBox* SpinEdit1 = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    QPushButton* Bok = nullptr;
    QPushButton* Bcancel = nullptr;

    int Value() const;
    // 0 "Prozent", 1 "Breite", 2 "Höhe", 3 "Max Breite", 4 "Max Höhe".
    int Mode() const;

private:
    QButtonGroup* modes_ = nullptr;
};
