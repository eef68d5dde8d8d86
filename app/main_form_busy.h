#pragma once
// Helpers of the main window's long operations.

#include <QApplication>

// The wait cursor for the length of an operation, also when it fails.
class TBusyCursor {
public:
    TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

// Lets the window repaint in the middle of a long operation. User input
// waits: a click that arrived now would start a second command while this
// one holds the image half replaced.
inline void LetWindowRepaint() {
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
