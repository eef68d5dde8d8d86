#pragma once
// The about dialog "About": a fixed dialog showing the program's picture and
// a button that lays the licence terms of the current interface language
// over the right part of the picture. It always opens with the picture
// alone; a licence text shown stays until the dialog is closed.

#include "shell/language_tables.h"

#include <QDialog>

#include <cstdint>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);

    // The interface language the licence button chooses by (1 German,
    // anything else English).
    // The licence button's caption follows it.
    void SetLanguage(int32_t language);
    int32_t Language() const { return language_; }

    // The about command: opens the dialog with the picture alone, modally,
    // in the given interface language; returns when the user closes it.
    int ShowAbout(int32_t language);

    // The licence button: shows the licence text of the current language.
    void BitBtn1Click();

    QLabel* Image1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr; // German licence terms
    QPlainTextEdit* Memo2 = nullptr; // licence text for English users

protected:
    // Every opening starts with the picture alone, however it was opened.
    void showEvent(QShowEvent* event) override;

private:
    void HideLicenceTexts();

    int32_t language_ = lgGerman;
};
