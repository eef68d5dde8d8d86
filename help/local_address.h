#pragma once
// The machine's current local network address, as the online watcher needs
// it. Behind an interface so that tests can say what the machine "has".

#include <optional>
#include <string>

class ILocalAddress {
public:
    virtual ~ILocalAddress() = default;
    // The address as text (for example "192.168.1.20"), or nullopt when it
    // cannot be determined: the host name does not resolve, or resolves to
    // no address.
    virtual std::optional<std::string> Current() = 0;
};

// The first IPv4 address that the machine's own host name resolves to.
// Resolving may consult the name service, so a call can take a while on a
// machine whose host name is not in its hosts file.
class THostLocalAddress final : public ILocalAddress {
public:
    std::optional<std::string> Current() override;
};
