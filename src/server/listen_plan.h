#pragma once

#include <asio/ip/tcp.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "config/settings_file.h"

namespace quorvane::server {

// Who can connect, from [Server] Listen: "Network" (every interface, the
// default), "Local" (this computer only), or an address or host name of
// this machine for the advanced case.
struct ListenChoice {
    enum class Reach { kNetwork, kLocal, kAddress };
    Reach reach = Reach::kNetwork;
    std::string address;  // for kAddress, as configured

    bool operator==(const ListenChoice&) const = default;
};

ListenChoice ListenChoiceOf(std::string_view value);
ListenChoice ReadListenChoice(const config::Settings& settings);
// The setting's value for a choice.
std::string ListenValue(const ListenChoice& choice);

// The choice in the options dialog's and the Information tab's words.
std::string ListenChoiceText(const ListenChoice& choice);

// The addresses to bind: "::" (dual-stack) for the network, 127.0.0.1 and
// ::1 for this computer, and for a name every address it resolves to. A name
// that resolves to nothing gives none, and `problem` says why.
std::vector<std::string> BindAddresses(const ListenChoice& choice, std::string& problem);

// True when only this computer can reach these addresses.
bool AllLoopback(const std::vector<asio::ip::address>& addresses);

// Where a running server listens, for people: its URLs and who can reach
// them, such as "http://[::]:8080 (every network interface, IPv6 and IPv4)".
std::string DescribeListeners(const std::vector<asio::ip::tcp::endpoint>& plain,
                              const std::vector<asio::ip::tcp::endpoint>& secure);

}  // namespace quorvane::server
