#include "help/online_watcher.h"

#include <QThread>
#include <QTimer>

TOnlineWatcher::TOnlineWatcher(std::unique_ptr<ILocalAddress> source, int32_t intervalMs,
                               QObject* parent)
    : QObject(parent), source_(source ? std::move(source) : std::make_unique<THostLocalAddress>()) {
    setObjectName("IPWatch1");
    timerThread_ = new QThread(this);
    timerThread_->setObjectName("IPWatch1 timer");

    // The timer lives in the timing thread; its ticks reach Determine through
    // the user-interface thread's event queue (the receiver lives there).
    auto* timer = new QTimer;
    timer->setInterval(intervalMs);
    timer->moveToThread(timerThread_);
    connect(timerThread_, &QThread::started, timer, qOverload<>(&QTimer::start));
    connect(timerThread_, &QThread::finished, timer, &QObject::deleteLater);
    connect(timer, &QTimer::timeout, this, &TOnlineWatcher::Determine, Qt::QueuedConnection);
    timerThread_->start();
}

TOnlineWatcher::~TOnlineWatcher() {
    // The timer is deleted as its thread finishes; ticks still queued for this
    // object are dropped with it.
    timerThread_->quit();
    timerThread_->wait();
}

void TOnlineWatcher::Determine() {
    state_.Update(*source_);
    ++determinations_;
    emit Determined(state_.Online());
}
