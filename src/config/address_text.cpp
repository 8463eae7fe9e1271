#include "config/address_text.h"

#include <arpa/inet.h>

#include <algorithm>

namespace quorvane::config {

std::string Ipv6AddressText(const in6_addr& address) {
    if (IN6_IS_ADDR_V4MAPPED(&address)) {
        in_addr v4{};
        std::copy_n(address.s6_addr + 12, 4, reinterpret_cast<unsigned char*>(&v4.s_addr));
        char text[INET_ADDRSTRLEN] = {};
        return ::inet_ntop(AF_INET, &v4, text, sizeof text) != nullptr ? text : "";
    }
    char text[INET6_ADDRSTRLEN] = {};
    return ::inet_ntop(AF_INET6, &address, text, sizeof text) != nullptr ? text : "";
}

std::string SocketAddressText(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        char text[INET_ADDRSTRLEN] = {};
        return ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text) != nullptr ? text : "";
    }
    if (address.ss_family == AF_INET6) {
        return Ipv6AddressText(reinterpret_cast<const sockaddr_in6&>(address).sin6_addr);
    }
    return {};
}

std::string LocalAddressText(int socket) {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    return ::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) == 0
               ? SocketAddressText(local)
               : std::string();
}

std::string CanonicalAddress(std::string_view typed) {
    if (typed.find(':') == std::string_view::npos || typed.size() >= INET6_ADDRSTRLEN) {
        return std::string(typed);
    }
    in6_addr address{};
    if (::inet_pton(AF_INET6, std::string(typed).c_str(), &address) != 1) {
        return std::string(typed);
    }
    return Ipv6AddressText(address);
}

std::string ClientGroup(std::string_view client) {
    in6_addr address{};
    if (client.find(':') == std::string_view::npos || client.size() >= INET6_ADDRSTRLEN ||
        ::inet_pton(AF_INET6, std::string(client).c_str(), &address) != 1) {
        return std::string(client);
    }
    std::fill(address.s6_addr + 8, address.s6_addr + 16, 0);
    return Ipv6AddressText(address) + "/64";
}

bool ListsAddress(const std::vector<std::string>& list, std::string_view client) {
    return std::any_of(list.begin(), list.end(), [&](const std::string& entry) {
        return entry == client || CanonicalAddress(entry) == client;
    });
}

}  // namespace quorvane::config
