#pragma once
// The window program's application object. Its notify() is the general
// error handler of last resort: an exception that escapes an event handler
// (the command handlers catch their own through TForm1::RunCommand) is shown
// in an error box and the event loop goes on, instead of unwinding through
// Qt's C++ frames and ending the program with the user's work.

#include <QApplication>

#include <functional>

class IUserDialogs;

class TPixmendApplication : public QApplication {
    Q_OBJECT
public:
    TPixmendApplication(int& argc, char** argv, IUserDialogs& dialogs);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    IUserDialogs& dialogs_;
};

// Runs work; an exception is shown through dialogs with its message. True
// when work finished without one.
bool ShowErrorsOf(IUserDialogs& dialogs, QWidget* parent, const std::function<void()>& work);
