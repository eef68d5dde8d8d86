#pragma once
// The batch conversion dialog "Batchconversion": a fixed dialog in which the
// user picks source files and a target folder. Here it is the window with its
// two column labels; the file lists and the run come with the batch command.

#include <QDialog>

class QLabel;

class TFormBatch : public QDialog {
    Q_OBJECT
public:
    explicit TFormBatch(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
};
