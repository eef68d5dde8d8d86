#pragma once
// The help window's online watcher: decides every half second whether the
// machine has a network address, so that context help can be refused with
// the offline notice when it has none.
//
// Only the timing runs on a thread of its own. Each tick is handed to the
// user-interface thread as a queued call, and the address is determined and
// the flag written there, so the flag is never touched by two threads and
// needs no lock. The flag is false until the first determination.

#include "help/local_address.h"
#include "help/online_state.h"

#include <QObject>

#include <cstdint>
#include <memory>

class QThread;

class TOnlineWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr int32_t kIntervalMs = 500;

    // source: where the local address comes from (the host's own name when
    // null). intervalMs: the time between determinations.
    explicit TOnlineWatcher(std::unique_ptr<ILocalAddress> source = nullptr,
                            int32_t intervalMs = kIntervalMs, QObject* parent = nullptr);
    ~TOnlineWatcher() override;

    bool Online() const { return state_.Online(); }
    // The number of determinations made so far.
    int64_t Determinations() const { return determinations_; }

signals:
    // After every determination, on the user-interface thread.
    void Determined(bool online);

private:
    void Determine();

    std::unique_ptr<ILocalAddress> source_;
    TOnlineState state_;
    int64_t determinations_ = 0;
    QThread* timerThread_ = nullptr;
};
