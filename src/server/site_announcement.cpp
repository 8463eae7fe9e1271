#include "server/site_announcement.h"

#include <algorithm>

#include "config/setting_keys.h"

namespace quorvane::server {

namespace {

// The longest instance name DNS-SD allows, in bytes.
constexpr size_t kMaxNameBytes = 63;

bool TakesWrites(const config::VirtualDirectory& folder) {
    return (folder.uploads || folder.changes) && !folder.scripts && !folder.programs;
}

// The text cut to at most `bytes`, never inside a UTF-8 sequence.
std::string CutUtf8(std::string text, size_t bytes) {
    if (text.size() <= bytes) {
        return text;
    }
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    text.resize(end);
    return text;
}

}  // namespace

bool SiteTakesWrites(const config::Settings& settings,
                     const std::vector<config::VirtualDirectory>& directories) {
    using namespace config::setting;
    const config::VirtualDirectory root{.scripts = config::IsOn(settings, kScriptAllowed),
                                        .programs = config::IsOn(settings, kExeAllowed),
                                        .uploads = config::IsOn(settings, kUploads),
                                        .changes = config::IsOn(settings, kChanges)};
    return TakesWrites(root) || std::any_of(directories.begin(), directories.end(), TakesWrites);
}

std::string AnnouncedName(std::string_view hostName) {
    const std::string_view host = hostName.substr(0, hostName.find('.'));
    return CutUtf8("Quorvane2000 on " + std::string(host), kMaxNameBytes);
}

SiteAnnouncement PlanAnnouncement(const config::Settings& settings,
                                  const std::vector<config::VirtualDirectory>& directories,
                                  std::string_view hostName, const ListenerFacts& listener) {
    if (listener.port == 0 || listener.locallyOnly ||
        !config::IsOn(settings, config::setting::kAnnounce)) {
        return {};
    }
    const std::vector<std::string> root = {"path=/"};
    SiteAnnouncement plan{AnnouncedName(hostName), {{"_http._tcp", listener.port, root}}};
    const bool writes = SiteTakesWrites(settings, directories);
    if (writes) {
        plan.services.push_back({"_webdav._tcp", listener.port, root});
    }
    if (listener.httpsPort != 0) {
        plan.services.push_back({"_https._tcp", listener.httpsPort, root});
        if (writes) {
            plan.services.push_back({"_webdavs._tcp", listener.httpsPort, root});
        }
    }
    return plan;
}

}  // namespace quorvane::server
