#pragma once
// The about dialog "About": a fixed dialog with the program's picture and a
// button that shows the licence terms. Here it is the window and its button;
// the picture and the licence texts come with the about command.

#include <QDialog>

class QPushButton;

class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);

    QPushButton* BitBtn1 = nullptr;
};
