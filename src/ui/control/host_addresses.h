#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::ui {

// The address a phone or another computer on the same network can use: the
// first IPv4 address that is not loopback, else the first IPv6 address that
// is neither loopback nor link-local (those need an interface name that a
// URL cannot carry).
std::optional<std::string> ChooseLanAddress(const std::vector<std::string>& addresses);

// True for 127.0.0.0/8, ::1 and each of the given addresses of this machine.
bool IsOwnAddress(std::string_view address, const std::vector<std::string>& hostAddresses);

// A host as a URL names it: an IPv6 address goes in brackets.
std::string UrlHost(std::string_view host);

// "http://host" with ":port" unless it is 80 (secure: "https://host" unless
// it is 443).
std::string SiteUrl(std::string_view host, uint16_t port, bool secure = false);

}  // namespace quorvane::ui
