#pragma once
// The online flag of the help window's watcher. Context help is refused with
// the offline notice while it is false.
//
// Each determination of the local address sets the flag: online when the
// address text is neither empty nor "127.0.0.1". An address that cannot be
// determined leaves the flag as it was. The flag is false until the first
// determination, so a help request right after start gets the offline
// notice. The window calls Update every 500 ms on its user-interface thread;
// the object itself holds no lock.

#include "help/local_address.h"

#include <optional>
#include <string>

class TOnlineState {
public:
    bool Online() const { return online_; }

    // Applies one determination: an address text, or nullopt for "could not
    // be determined".
    void Apply(const std::optional<std::string>& address);

    // Determines the address once and applies it.
    void Update(ILocalAddress& source) { Apply(source.Current()); }

private:
    bool online_ = false;
};
