#pragma once
// The version-information window "Version-info": a fixed, non-modal window
// that stays above the program's other windows. Here it is the window only;
// the version and change list come with the version-information command.

#include <QWidget>

class TVersionInfoForm : public QWidget {
    Q_OBJECT
public:
    explicit TVersionInfoForm(QWidget* parent = nullptr);
};
