#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/list_records.h"
#include "config/settings_file.h"

namespace quorvane::server {

// One DNS-SD service of the site: its type ("_http._tcp"), port and TXT
// strings.
struct AnnouncedService {
    std::string type;
    uint16_t port = 0;
    std::vector<std::string> txt;

    bool operator==(const AnnouncedService&) const = default;
};

// What the local network is told about the running site: one name, and the
// services under it; none while nothing is to be announced.
struct SiteAnnouncement {
    std::string name;
    std::vector<AnnouncedService> services;

    bool operator==(const SiteAnnouncement&) const = default;
};

// The listener the announcement describes.
struct ListenerFacts {
    uint16_t port = 0;       // 0 while stopped
    uint16_t httpsPort = 0;  // 0 without HTTPS
    bool locallyOnly = false;
};

// Whether visitors may write anywhere: the root or a dirs.lst folder takes
// uploads or changes and no name may run there (a written one could run).
bool SiteTakesWrites(const config::Settings& settings,
                     const std::vector<config::VirtualDirectory>& directories);

// "Quorvane2000 on HOST", HOST being the first label of the host name, cut
// to the 63 bytes a DNS-SD name may have.
std::string AnnouncedName(std::string_view hostName);

// The services of a running site: HTTP, HTTPS when it is on, WebDAV (and
// WebDAV over TLS) where folders take writes. Nothing while stopped, while
// only this computer can connect, or with [Server] Announce off.
SiteAnnouncement PlanAnnouncement(const config::Settings& settings,
                                  const std::vector<config::VirtualDirectory>& directories,
                                  std::string_view hostName, const ListenerFacts& listener);

}  // namespace quorvane::server
