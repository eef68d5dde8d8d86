#pragma once
// The resize dialog "Resize": the value and the mode of a spectral resize.
// Its texts are German unless the interface speaks English. It is created once and
// only shown, so it offers the last value and mode again the next time.

#include <QDialog>

#include <cstdint>

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

    // Shows the dialog modally; true exactly when it was closed with Bok.
    // Value() and Mode() hold the entries afterwards, also when cancelled.
    bool Execute();

    // The value in SpinEdit1; a text that is not a whole number in the
    // 32-bit range (an empty field, a lone sign) reads as 0.
    int32_t Value() const;
    // 0 "Prozent", 1 "Breite", 2 "Höhe", 3 "Max Breite", 4 "Max Höhe".
    int32_t Mode() const;

    // The interface language of the captions (1 German, 2 English).
    void SetLanguage(int32_t language);

private slots:
    void BokClick();
    void BcancelClick();

private:
    QButtonGroup* modes_ = nullptr;
    bool closedWithOk_ = false;
};
