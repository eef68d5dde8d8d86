// The online watcher on real threads and the real event loop, with the
// machine's address supplied by a fake.
#include "help/online_watcher.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace {

// Answers from a script, then repeats the last answer; notes on which thread
// it was asked.
class TScriptedAddress final : public ILocalAddress {
public:
    explicit TScriptedAddress(std::deque<std::optional<std::string>> answers)
        : answers_(std::move(answers)) {}
    std::optional<std::string> Current() override {
        ++calls;
        if (QThread::currentThread() != QCoreApplication::instance()->thread()) ++offThreadCalls;
        if (answers_.size() > 1) {
            auto a = answers_.front();
            answers_.pop_front();
            return a;
        }
        return answers_.front();
    }
    int calls = 0;
    int offThreadCalls = 0;

private:
    std::deque<std::optional<std::string>> answers_;
};

struct TWatch {
    TScriptedAddress* address;
    std::unique_ptr<TOnlineWatcher> watcher;
};

TWatch MakeWatch(std::deque<std::optional<std::string>> answers, int32_t intervalMs = 10) {
    auto fake = std::make_unique<TScriptedAddress>(std::move(answers));
    TScriptedAddress* raw = fake.get();
    return {raw, std::make_unique<TOnlineWatcher>(std::move(fake), intervalMs)};
}

// Runs the event loop until the watcher has made n determinations.
bool WaitForDeterminations(const TOnlineWatcher& w, int64_t n) {
    return QTest::qWaitFor([&] { return w.Determinations() >= n; }, 5000);
}

TEST(OnlineWatcher, FalseBeforeTheFirstDetermination) {
    // With the real period nothing is determined while the loop has not run,
    // and the flag is false even though the address says online.
    auto w = MakeWatch({std::string("192.168.1.20")}, TOnlineWatcher::kIntervalMs);
    EXPECT_FALSE(w.watcher->Online());
    EXPECT_EQ(w.watcher->Determinations(), 0);
    QTest::qWait(100);
    EXPECT_FALSE(w.watcher->Online()) << "determined long before half a second";
    ASSERT_TRUE(WaitForDeterminations(*w.watcher, 1));
    EXPECT_TRUE(w.watcher->Online());
}

TEST(OnlineWatcher, AddressTextDecidesTheFlag) {
    struct TCase {
        std::optional<std::string> address;
        bool online;
    };
    const TCase cases[] = {
        {std::string("192.168.1.20"), true}, {std::string("10.0.0.1"), true},
        {std::string("127.0.0.2"), true}, // only the one loopback text counts as offline
        {std::string("127.0.0.1"), false},   {std::string(""), false},
    };
    for (const auto& c : cases) {
        auto w = MakeWatch({c.address});
        ASSERT_TRUE(WaitForDeterminations(*w.watcher, 1));
        EXPECT_EQ(w.watcher->Online(), c.online) << c.address.value_or("<none>");
    }
}

TEST(OnlineWatcher, UndeterminedAddressKeepsThePreviousValue) {
    // online, cannot determine (stays online), offline, cannot determine
    // (stays offline), online again.
    auto w = MakeWatch({std::string("192.168.1.20"), std::nullopt, std::string("127.0.0.1"),
                        std::nullopt, std::string("10.1.2.3")});
    std::vector<bool> seen;
    QObject::connect(w.watcher.get(), &TOnlineWatcher::Determined,
                     [&](bool online) { seen.push_back(online); });
    ASSERT_TRUE(WaitForDeterminations(*w.watcher, 5));
    ASSERT_GE(seen.size(), 5u);
    EXPECT_EQ(std::vector<bool>(seen.begin(), seen.begin() + 5),
              (std::vector<bool>{true, true, false, false, true}));
}

TEST(OnlineWatcher, NeverDeterminedStaysOffline) {
    auto w = MakeWatch({std::nullopt});
    ASSERT_TRUE(WaitForDeterminations(*w.watcher, 3));
    EXPECT_FALSE(w.watcher->Online());
}

TEST(OnlineWatcher, DeterminesOnTheUserInterfaceThreadAndKeepsTicking) {
    auto w = MakeWatch({std::string("192.168.1.20")});
    ASSERT_TRUE(WaitForDeterminations(*w.watcher, 4));
    EXPECT_GE(w.address->calls, 4);
    EXPECT_EQ(w.address->offThreadCalls, 0);
}

TEST(OnlineWatcher, DestroyedWhileTicksArePending) {
    // Ticks still queued for a watcher that is gone must not reach it: the
    // address is never asked again once the watcher is destroyed.
    struct TCounted final : ILocalAddress {
        explicit TCounted(std::shared_ptr<int> calls) : calls_(std::move(calls)) {}
        std::optional<std::string> Current() override {
            ++*calls_;
            return std::string("192.168.1.20");
        }
        std::shared_ptr<int> calls_;
    };
    for (int i = 0; i < 5; ++i) {
        auto calls = std::make_shared<int>(0);
        auto watcher = std::make_unique<TOnlineWatcher>(std::make_unique<TCounted>(calls), 1);
        // The timer thread goes on ticking into the queue while this one
        // only looks at the count.
        ASSERT_TRUE(WaitForDeterminations(*watcher, 2));
        watcher.reset();
        const int atDestruction = *calls;
        EXPECT_EQ(calls.use_count(), 1) << "the address source went with the watcher";
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(*calls, atDestruction);
    }
}

} // namespace
