#include "app/application.h"

#include "app/user_dialogs.h"

#include <exception>
#include <functional>
#include <new>

TPixmendApplication::TPixmendApplication(int& argc, char** argv, IUserDialogs& dialogs)
    : QApplication(argc, argv), dialogs_(dialogs) {}

bool TPixmendApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    ShowErrorsOf(dialogs_, activeWindow(),
                 [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

bool ShowErrorsOf(IUserDialogs& dialogs, QWidget* parent, const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const std::bad_alloc&) {
        dialogs.ShowError(parent, "Zu wenig Arbeitsspeicher");
    } catch (const std::exception& error) {
        dialogs.ShowError(parent, QString::fromUtf8(error.what()));
    }
    return false;
}
