#include "app/user_dialogs.h"

#include "shell/interface_texts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// Boxes carry the application title, as every box of the program does.
QString BoxTitle() {
    return QApplication::applicationName();
}

// Hands the keyboard back to the window a box was shown over.
void Reactivate(QWidget* parent) {
    if (parent && parent->window()->isVisible()) parent->window()->activateWindow();
}

// Runs a box or dialog made on the heap with `parent` as its parent. A
// window taken down while its box is open (the program quit from outside,
// say) deletes the box with it: the box is then gone, and no answer is read
// from it. Otherwise returns exec's result, and the caller deletes the box.
template <class TBox>
std::optional<int> RunOwned(TBox* box, QWidget* parent) {
    const QPointer<TBox> alive(box);
    const QPointer<QWidget> owner(parent);
    const int result = box->exec();
    if (owner) Reactivate(owner);
    if (!alive) return std::nullopt;
    return result;
}

} // namespace

QString TUserDialogs::ButtonText(const char* german) const {
    return QString::fromStdString(InterfaceText(language_, german));
}

bool TUserDialogs::Confirm(QWidget* parent, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Question, BoxTitle(), text,
                                QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(QMessageBox::Yes);
    box->button(QMessageBox::Yes)->setText(ButtonText("Ja"));
    box->button(QMessageBox::No)->setText(ButtonText("Nein"));
    const std::optional<int> result = RunOwned(box, parent);
    if (!result) return false;
    delete box;
    return *result == QMessageBox::Yes;
}

int TUserDialogs::Choose(QWidget* parent, const QString& text, const QStringList& buttons) {
    auto* box =
        new QMessageBox(QMessageBox::Question, BoxTitle(), text, QMessageBox::NoButton, parent);
    std::vector<QPushButton*> pushed;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        // The first button is the default, the last the one Escape presses.
        const bool last = i + 1 == buttons.size();
        pushed.push_back(box->addButton(buttons[i], last     ? QMessageBox::RejectRole
                                                    : i == 0 ? QMessageBox::AcceptRole
                                                             : QMessageBox::DestructiveRole));
    }
    if (!pushed.empty()) {
        box->setDefaultButton(pushed.front());
        box->setEscapeButton(pushed.back());
    }
    // A box gone with its window counts as Escape.
    if (!RunOwned(box, parent)) return int(buttons.size()) - 1;
    const auto chosen = std::find(pushed.begin(), pushed.end(), box->clickedButton());
    delete box;
    return chosen == pushed.end() ? int(buttons.size()) - 1 : int(chosen - pushed.begin());
}

void TUserDialogs::ShowError(QWidget* parent, const QString& message) {
    auto* box =
        new QMessageBox(QMessageBox::Critical, BoxTitle(), message, QMessageBox::Ok, parent);
    if (RunOwned(box, parent)) delete box;
}

void TUserDialogs::ShowInformation(QWidget* parent, const QString& text) {
    auto* box =
        new QMessageBox(QMessageBox::Information, BoxTitle(), text, QMessageBox::Ok, parent);
    if (RunOwned(box, parent)) delete box;
}

std::optional<QString> TUserDialogs::RunFileDialog(QFileDialog& dialog) {
    const int result = dialog.exec();
    // The file name's completion list can outlive the dialog when Return
    // accepted a completion: take it down with the dialog.
    for (QCompleter* completer : dialog.findChildren<QCompleter*>()) {
        QWidget* popup = completer->popup();
        if (!popup) continue;
        popup->hide();
        // The accepted text may reopen it once the key is fully handled.
        QTimer::singleShot(0, popup, &QWidget::hide);
        QTimer::singleShot(100, popup, &QWidget::hide);
    }
    // Give the keyboard back to the window, also without a window manager.
    if (QWidget* owner = dialog.parentWidget()) owner->window()->activateWindow();
    if (result != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
    return files.front();
}

std::optional<QString> TUserDialogs::AskText(QWidget* parent, const QString& caption,
                                             const QString& prompt, const QString& text) {
    auto* dialog = new QInputDialog(parent);
    dialog->setWindowTitle(caption);
    dialog->setLabelText(prompt);
    dialog->setInputMode(QInputDialog::TextInput);
    dialog->setTextValue(text);
    dialog->setOkButtonText("OK");
    dialog->setCancelButtonText(ButtonText("Abbrechen"));
    const std::optional<int> result = RunOwned(dialog, parent);
    if (!result) return std::nullopt;
    const QString value = dialog->textValue();
    delete dialog;
    if (*result != QDialog::Accepted) return std::nullopt;
    return value;
}
