#pragma once
// Hands the calls of a worker thread to a window's thread: each call is
// queued and runs there, in the order posted, and only while `current` (asked
// on the window's thread) says that the run it came from is still the
// window's, so that a late call of an ended run changes nothing.

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <utility>

class TQueuedRelay {
public:
    explicit TQueuedRelay(QObject* window, std::function<bool()> current = {})
        : window_(window), current_(std::move(current)) {}
    void Post(std::function<void()> work) const {
        QMetaObject::invokeMethod(
            window_,
            [current = current_, work = std::move(work)] {
                if (!current || current()) work();
            },
            Qt::QueuedConnection);
    }

private:
    QObject* window_;
    std::function<bool()> current_;
};
