#pragma once
// The help window "Help": a sizeable tool window whose client area shows the
// context-help pages. It is not modal and keeps its last page until the user
// closes it. Here it is the window only; fetching and showing pages comes
// with context help.

#include <QWidget>

class TFormHelp : public QWidget {
    Q_OBJECT
public:
    explicit TFormHelp(QWidget* parent = nullptr);
};
