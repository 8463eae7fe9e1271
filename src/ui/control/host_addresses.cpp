#include "ui/control/host_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <algorithm>

namespace quorvane::ui {

namespace {

std::optional<in_addr> ParseV4(std::string_view text) {
    in_addr address{};
    if (::inet_pton(AF_INET, std::string(text).c_str(), &address) != 1) {
        return std::nullopt;
    }
    return address;
}

std::optional<in6_addr> ParseV6(std::string_view text) {
    in6_addr address{};
    if (::inet_pton(AF_INET6, std::string(text).c_str(), &address) != 1) {
        return std::nullopt;
    }
    return address;
}

}  // namespace

std::optional<std::string> ChooseLanAddress(const std::vector<std::string>& addresses) {
    for (const std::string& text : addresses) {
        if (const auto v4 = ParseV4(text); v4 && (ntohl(v4->s_addr) >> 24) != 127) {
            return text;
        }
    }
    for (const std::string& text : addresses) {
        if (const auto v6 = ParseV6(text);
            v6 && !IN6_IS_ADDR_LOOPBACK(&*v6) && !IN6_IS_ADDR_LINKLOCAL(&*v6) &&
            !IN6_IS_ADDR_UNSPECIFIED(&*v6) && !IN6_IS_ADDR_V4MAPPED(&*v6)) {
            return text;
        }
    }
    return std::nullopt;
}

bool IsOwnAddress(std::string_view address, const std::vector<std::string>& hostAddresses) {
    if (const auto v4 = ParseV4(address)) {
        if ((ntohl(v4->s_addr) >> 24) == 127) {
            return true;
        }
        return std::any_of(hostAddresses.begin(), hostAddresses.end(), [&](const std::string& own) {
            const auto other = ParseV4(own);
            return other && other->s_addr == v4->s_addr;
        });
    }
    if (const auto v6 = ParseV6(address)) {
        if (IN6_IS_ADDR_LOOPBACK(&*v6)) {
            return true;
        }
        return std::any_of(hostAddresses.begin(), hostAddresses.end(), [&](const std::string& own) {
            const auto other = ParseV6(own);
            return other && IN6_ARE_ADDR_EQUAL(&*other, &*v6);
        });
    }
    return false;
}

std::string UrlHost(std::string_view host) {
    if (host.find(':') != std::string_view::npos) {
        return "[" + std::string(host) + "]";
    }
    return std::string(host);
}

std::string SiteUrl(std::string_view host, uint16_t port, bool secure) {
    std::string url = (secure ? "https://" : "http://") + UrlHost(host);
    if (port != (secure ? 443 : 80)) {
        url += ":" + std::to_string(port);
    }
    return url;
}

}  // namespace quorvane::ui
