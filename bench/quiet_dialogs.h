#pragma once
// The window benchmarks' boxes: every question is answered at once (unsaved
// work is let go, the benchmarks have nothing to keep), file dialogs and text
// prompts are declined, and errors and summaries are printed.

#include "app/user_dialogs.h"

#include <QString>

#include <cstdio>
#include <optional>

class TQuietDialogs final : public IUserDialogs {
public:
    bool Confirm(QWidget*, const QString&) override { return true; }
    int Choose(QWidget*, const QString&, const QStringList&) override { return 1; }
    void ShowError(QWidget*, const QString& m) override {
        std::printf("error box:\n%s\n", qPrintable(m));
    }
    void ShowInformation(QWidget*, const QString& t) override {
        std::printf("summary:\n%s\n", qPrintable(t));
    }
    std::optional<QString> RunFileDialog(QFileDialog&) override { return std::nullopt; }
    std::optional<QString> AskText(QWidget*, const QString&, const QString&,
                                   const QString&) override {
        return std::nullopt;
    }
};
