#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/list_records.h"
#include "config/program_folder.h"
#include "config/settings_file.h"
#include "server/site_announcement.h"

namespace quorvane::ui {

// What the Location row shows: the site's folder, or the URL that every
// request is redirected to (opened in the browser, not as a folder).
struct SiteLocation {
    std::string text;
    bool isUrl = false;
};
SiteLocation DescribeSiteLocation(const config::Settings& settings,
                                  const config::ProgramFolder& folder);

// The LAN row: the URL other devices on the network open (and its QR code),
// or, when there is none, the line that says why.
struct LanAccess {
    std::string url;
    std::string note;
};
LanAccess DescribeLanAccess(const std::optional<std::string>& lanAddress, uint16_t port,
                            bool listensLocallyOnly);

// Where a share link's path goes: the network address other devices open
// (this machine's name while none can), over HTTPS while it is on, so the
// token never crosses the network in clear where it need not.
std::string ShareLinkSite(const std::optional<std::string>& lanAddress, std::string_view hostName,
                          uint16_t port, uint16_t httpsPort, bool listensLocallyOnly);

// The address a file manager opens to add and change the site's files, while
// any folder takes them: the root or a dirs.lst record where visitors may add
// or change files and no name may run (a written one could then be run).
// Over HTTPS when httpsPort, the port it is served on, is not 0.
std::optional<std::string> FileManagerAddress(
    const config::Settings& settings, const std::vector<config::VirtualDirectory>& directories,
    std::string_view host, uint16_t port, uint16_t httpsPort);

// The site's addresses by the name announced on the local network:
// "http://HOST.local:PORT/", and the HTTPS one when it is announced.
std::vector<std::string> AnnouncedAddresses(const server::SiteAnnouncement& announcement,
                                            std::string_view hostName);

// A start that failed, in words that say what to do about it.
std::string StartFailureText(std::string_view port, std::string_view reason);

}  // namespace quorvane::ui
