#include "app/user_dialogs_form.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

// Boxes carry the application title, as every box of the program does.
QString BoxTitle() { return QApplication::applicationName(); }

}  // namespace

bool TUserDialogs::Confirm(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, BoxTitle(), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

void TUserDialogs::ShowError(QWidget* parent, const QString& message) {
    QMessageBox::critical(parent, BoxTitle(), message);
}

void TUserDialogs::ShowInformation(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, BoxTitle(), text);
}

std::optional<QString> TUserDialogs::RunFileDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
    return files.front();
}
