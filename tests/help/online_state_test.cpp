// The online flag and the machine's local address.
#include "help/local_address.h"
#include "help/online_state.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <deque>
#include <optional>
#include <string>

namespace {

// Answers with a scripted sequence of determinations.
class TFakeAddress final : public ILocalAddress {
public:
    std::deque<std::optional<std::string>> Answers;
    int Calls = 0;
    std::optional<std::string> Current() override {
        ++Calls;
        auto a = Answers.front();
        Answers.pop_front();
        return a;
    }
};

} // namespace

TEST(OnlineState, FalseUntilTheFirstDetermination) {
    TOnlineState state;
    EXPECT_FALSE(state.Online());
    state.Apply(std::nullopt); // unresolvable keeps the start value
    EXPECT_FALSE(state.Online());
}

TEST(OnlineState, FollowsEachDeterminedAddress) {
    TFakeAddress fake;
    fake.Answers = {"192.168.1.20", std::nullopt, "127.0.0.1", std::nullopt,
                    "10.0.0.2",     "",           "127.0.1.1", std::nullopt};
    const bool want[] = {true, true, false, false, true, false, true, true};
    TOnlineState state;
    for (size_t i = 0; i < std::size(want); ++i) {
        state.Update(fake);
        EXPECT_EQ(state.Online(), want[i]) << "after determination " << i;
    }
    EXPECT_EQ(fake.Calls, 8);
}

TEST(OnlineState, OnlyTheExactLoopbackTextCountsAsOffline) {
    for (const char* offline : {"", "127.0.0.1"}) {
        TOnlineState state;
        state.Apply("8.8.8.8");
        state.Apply(std::string(offline));
        EXPECT_FALSE(state.Online()) << offline;
    }
    for (const char* online : {"127.0.0.2", "127.0.0.10", " 127.0.0.1", "::1", "0.0.0.0"}) {
        TOnlineState state;
        state.Apply(std::string(online));
        EXPECT_TRUE(state.Online()) << online;
    }
}

TEST(LocalAddress, HostAddressIsAnIPv4TextWhenTheNameResolves) {
    THostLocalAddress host;
    const auto address = host.Current();
    if (!address) GTEST_SKIP() << "this machine's host name does not resolve";
    in_addr parsed{};
    EXPECT_EQ(inet_pton(AF_INET, address->c_str(), &parsed), 1) << *address;
}
