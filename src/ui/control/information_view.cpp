#include "ui/control/information_view.h"

#include <algorithm>
#include <charconv>

#include "config/setting_keys.h"
#include "config/text.h"
#include "ui/control/host_addresses.h"

namespace quorvane::ui {

SiteLocation DescribeSiteLocation(const config::Settings& settings,
                                  const config::ProgramFolder& folder) {
    const std::string root = config::ServerValue(settings, config::setting::kRootDirectory);
    // The same test the server applies before it redirects.
    if (config::StartsWith(config::ServerValue(settings, config::setting::kSiteLocation),
                           "Redir")) {
        return {root, true};
    }
    return {folder.Resolve(root).string(), false};
}

LanAccess DescribeLanAccess(const std::optional<std::string>& lanAddress, uint16_t port,
                            bool listensLocallyOnly) {
    if (listensLocallyOnly) {
        return {"", "The server listens on this computer only: other devices cannot open it."};
    }
    if (!lanAddress) {
        return {"", "This computer has no network address that other devices could open."};
    }
    return {SiteUrl(*lanAddress, port), ""};
}

std::string ShareLinkSite(const std::optional<std::string>& lanAddress, std::string_view hostName,
                          uint16_t port, uint16_t httpsPort, bool listensLocallyOnly) {
    const std::string host =
        lanAddress && !listensLocallyOnly ? *lanAddress : std::string(hostName);
    return httpsPort != 0 ? SiteUrl(host, httpsPort, true) : SiteUrl(host, port);
}

std::optional<std::string> FileManagerAddress(
    const config::Settings& settings, const std::vector<config::VirtualDirectory>& directories,
    std::string_view host, uint16_t port, uint16_t httpsPort) {
    if (!server::SiteTakesWrites(settings, directories)) {
        return std::nullopt;
    }
    const bool secure = httpsPort != 0;
    return (secure ? "davs://" : "dav://") + UrlHost(host) + ":" +
           std::to_string(secure ? httpsPort : port) + "/";
}

std::vector<std::string> AnnouncedAddresses(const server::SiteAnnouncement& announcement,
                                            std::string_view hostName) {
    const std::string local = std::string(hostName.substr(0, hostName.find('.'))) + ".local";
    std::vector<std::string> addresses;
    for (const server::AnnouncedService& service : announcement.services) {
        if (service.type == "_http._tcp" || service.type == "_https._tcp") {
            addresses.push_back(SiteUrl(local, service.port, service.type == "_https._tcp") + "/");
        }
    }
    return addresses;
}

std::string StartFailureText(std::string_view port, std::string_view reason) {
    std::string text =
        "Quorvane could not listen on port " + std::string(port) + ": " + std::string(reason) + ".";
    unsigned number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    const bool isNumber = error == std::errc() && end == port.data() + port.size();
    if (config::StartsWithIgnoringCase(reason, "Permission denied") && isNumber && number < 1024) {
        text +=
            " Ports below 1024 need administrator rights; choose a port from 1024 up on the "
            "Home Directory tab of the options.";
    } else if (reason.find("in use") != std::string_view::npos) {
        text +=
            " Another program is using this port; end it, or choose another port on the "
            "Home Directory tab of the options.";
    } else if (!isNumber) {
        text += " Choose a port from 1 to 65535 on the Home Directory tab of the options.";
    }
    return text;
}

}  // namespace quorvane::ui
