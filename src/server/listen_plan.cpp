#include "server/listen_plan.h"

#include <netdb.h>

#include <algorithm>
#include <memory>

#include "config/address_text.h"
#include "config/setting_keys.h"
#include "config/text.h"

namespace quorvane::server {

namespace {

std::string Url(std::string_view scheme, const asio::ip::tcp::endpoint& endpoint) {
    const asio::ip::address address = endpoint.address();
    const std::string host =
        address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
    return std::string(scheme) + "://" + host + ":" + std::to_string(endpoint.port());
}

bool IsLoopback(const asio::ip::address& address) {
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).is_loopback();
    }
    return address.is_loopback();
}

}  // namespace

ListenChoice ListenChoiceOf(std::string_view value) {
    const std::string_view trimmed = config::TrimBlanks(value);
    if (trimmed.empty() || config::EqualsIgnoringCase(trimmed, "Network")) {
        return {};
    }
    if (config::EqualsIgnoringCase(trimmed, "Local")) {
        return {ListenChoice::Reach::kLocal, ""};
    }
    return {ListenChoice::Reach::kAddress, std::string(trimmed)};
}

ListenChoice ReadListenChoice(const config::Settings& settings) {
    return ListenChoiceOf(config::ServerValue(settings, config::setting::kListen));
}

std::string ListenValue(const ListenChoice& choice) {
    switch (choice.reach) {
        case ListenChoice::Reach::kNetwork:
            return "Network";
        case ListenChoice::Reach::kLocal:
            return "Local";
        case ListenChoice::Reach::kAddress:
            return choice.address;
    }
    return "Network";
}

std::string ListenChoiceText(const ListenChoice& choice) {
    switch (choice.reach) {
        case ListenChoice::Reach::kNetwork:
            return "Anyone on the network";
        case ListenChoice::Reach::kLocal:
            return "Only this computer";
        case ListenChoice::Reach::kAddress:
            return "Only at " + choice.address;
    }
    return {};
}

std::vector<std::string> BindAddresses(const ListenChoice& choice, std::string& problem) {
    switch (choice.reach) {
        case ListenChoice::Reach::kNetwork:
            return {"::"};
        case ListenChoice::Reach::kLocal:
            return {"127.0.0.1", "::1"};
        case ListenChoice::Reach::kAddress:
            break;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(choice.address.c_str(), nullptr, &hints, &found);
    if (status != 0) {
        problem = "the listening address " + choice.address + " is unknown (" +
                  ::gai_strerror(status) + ")";
        return {};
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owned(found, ::freeaddrinfo);
    std::vector<std::string> addresses;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        sockaddr_storage address{};
        std::copy_n(reinterpret_cast<const unsigned char*>(entry->ai_addr),
                    std::min<size_t>(entry->ai_addrlen, sizeof address),
                    reinterpret_cast<unsigned char*>(&address));
        std::string text = config::SocketAddressText(address);
        if (!text.empty() &&
            std::find(addresses.begin(), addresses.end(), text) == addresses.end()) {
            addresses.push_back(std::move(text));
        }
    }
    if (addresses.empty()) {
        problem = "the listening address " + choice.address + " has no IP address";
    }
    return addresses;
}

bool AllLoopback(const std::vector<asio::ip::address>& addresses) {
    return !addresses.empty() && std::all_of(addresses.begin(), addresses.end(), IsLoopback);
}

std::string DescribeListeners(const std::vector<asio::ip::tcp::endpoint>& plain,
                              const std::vector<asio::ip::tcp::endpoint>& secure) {
    std::vector<std::string> urls;
    std::vector<asio::ip::address> addresses;
    for (const auto& [scheme, endpoints] :
         {std::pair{"http", &plain}, std::pair{"https", &secure}}) {
        for (const asio::ip::tcp::endpoint& endpoint : *endpoints) {
            urls.push_back(Url(scheme, endpoint));
            addresses.push_back(endpoint.address());
        }
    }
    std::string text;
    for (size_t i = 0; i < urls.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == urls.size() ? " and " : ", ") + urls[i];
    }
    const auto any = [&](auto test) {
        return std::any_of(addresses.begin(), addresses.end(), test);
    };
    if (any([](const asio::ip::address& a) { return a.is_v6() && a.is_unspecified(); })) {
        return text + " (every network interface, IPv6 and IPv4)";
    }
    if (any([](const asio::ip::address& a) { return a.is_unspecified(); })) {
        return text + " (every network interface, IPv4 only)";
    }
    if (AllLoopback(addresses)) {
        return text + " (this computer only)";
    }
    return text + " (only at the addresses shown)";
}

}  // namespace quorvane::server
