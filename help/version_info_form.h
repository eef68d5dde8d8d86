#pragma once
// The version-information window "Version-info": a fixed, non-modal window
// that stays above the program's other windows and shows the program's
// version and latest changes in the interface language chosen when it was
// last opened. Its OK button only hides it; it can stay open while the user
// works on.

#include <QWidget>

#include <cstdint>

class QPlainTextEdit;
class QPushButton;

class TVersionInfoForm : public QWidget {
    Q_OBJECT
public:
    explicit TVersionInfoForm(QWidget* parent = nullptr);

    // The version-information command: the German text (version 1.0) for
    // language 1, the English one (1.2) otherwise; shows the window on top,
    // or keeps it shown with the new choice.
    void ShowVersionInfo(int32_t language);

    // The OK button: hides the window.
    void BitBtn1Click();

    QPlainTextEdit* Memo1 = nullptr; // German version text
    QPlainTextEdit* Memo2 = nullptr; // English version text
    QPushButton* BitBtn1 = nullptr;

private:
    void ChooseText(int32_t language);
};
