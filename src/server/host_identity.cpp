#include "server/host_identity.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <unistd.h>

#include <climits>

namespace quorvane::server {

responses::HostIdentity DiscoverHostIdentity() {
    responses::HostIdentity host{"localhost", "127.0.0.1"};
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') {
        host.hostName = name;
    }
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) {
        return host;
    }
    for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if ((ntohl(address->sin_addr.s_addr) >> 24) == 127) {
            continue;
        }
        char text[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr) {
            host.ipAddress = text;
            break;
        }
    }
    ::freeifaddrs(interfaces);
    return host;
}

std::vector<std::string> ListHostAddresses() {
    std::vector<std::string> addresses;
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) {
        return addresses;
    }
    for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr) {
            continue;
        }
        char text[INET6_ADDRSTRLEN] = {};
        const void* raw = nullptr;
        if (entry->ifa_addr->sa_family == AF_INET) {
            raw = &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr;
        } else if (entry->ifa_addr->sa_family == AF_INET6) {
            raw = &reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr)->sin6_addr;
        }
        if (raw != nullptr &&
            ::inet_ntop(entry->ifa_addr->sa_family, raw, text, sizeof text) != nullptr) {
            addresses.emplace_back(text);
        }
    }
    ::freeifaddrs(interfaces);
    return addresses;
}

}  // namespace quorvane::server
