#include "help/online_state.h"

void TOnlineState::Apply(const std::optional<std::string>& address) {
    if (!address) return;
    online_ = !address->empty() && *address != "127.0.0.1";
}
