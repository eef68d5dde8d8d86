#include "help/local_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>

std::optional<std::string> THostLocalAddress::Current() {
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) != 0) return std::nullopt;

    // IPv4 only: the online rule compares with the IPv4 loopback text, and an
    // IPv6 loopback answer would otherwise count as a network address.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) != 0 || list == nullptr) return std::nullopt;

    std::optional<std::string> text;
    const auto* in = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
    char buf[INET_ADDRSTRLEN] = {};
    if (list->ai_family == AF_INET && inet_ntop(AF_INET, &in->sin_addr, buf, sizeof buf))
        text = buf;
    freeaddrinfo(list);
    return text;
}
