#pragma once
// The boxes and file dialogs the window program shows, behind one small
// interface: the real one blocks in a modal box, the tests' fake answers from
// a script and records what was asked. Commands never call QMessageBox or
// QFileDialog::exec directly.

#include "shell/language_tables.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class QFileDialog;
class QWidget;

class IUserDialogs {
public:
    virtual ~IUserDialogs() = default;
    // A confirmation box with Yes and No; true for Yes.
    virtual bool Confirm(QWidget* parent, const QString& text) = 0;
    // A question with buttons of its own (Save, Discard, Cancel and the
    // like); the index of the button chosen. The last button is the one that
    // changes nothing: closing the box or Escape chooses it.
    virtual int Choose(QWidget* parent, const QString& text, const QStringList& buttons) = 0;
    // An error box with the error's message.
    virtual void ShowError(QWidget* parent, const QString& message) = 0;
    // An information box.
    virtual void ShowInformation(QWidget* parent, const QString& text) = 0;
    // Runs a prepared file dialog; the chosen file, or none when cancelled.
    virtual std::optional<QString> RunFileDialog(QFileDialog& dialog) = 0;
    // A one-line text prompt with OK and Cancel, filled in with `text`; the
    // text confirmed (possibly empty), or none when cancelled.
    virtual std::optional<QString> AskText(QWidget* parent, const QString& caption,
                                           const QString& prompt, const QString& text) = 0;
    // The interface language the boxes' own buttons speak (1 German, 2
    // English), set by the window's language switch.
    virtual void SetLanguage(int32_t language) { (void)language; }
};

// The real boxes and dialogs, modal.
class TUserDialogs final : public IUserDialogs {
public:
    bool Confirm(QWidget* parent, const QString& text) override;
    int Choose(QWidget* parent, const QString& text, const QStringList& buttons) override;
    void ShowError(QWidget* parent, const QString& message) override;
    void ShowInformation(QWidget* parent, const QString& text) override;
    std::optional<QString> RunFileDialog(QFileDialog& dialog) override;
    std::optional<QString> AskText(QWidget* parent, const QString& caption, const QString& prompt,
                                   const QString& text) override;
    void SetLanguage(int32_t language) override { language_ = language; }

private:
    // Qt's own button texts follow the system; these follow the program.
    QString ButtonText(const char* german) const;
    int32_t language_ = lgEnglish;
};
