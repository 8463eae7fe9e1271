#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/config_snapshots.h"
#include "export/site_places.h"

namespace quorvane::exporting {

// Everything the site's server block is written from, gathered beforehand.
struct SiteFacts {
    const config::Configuration& config;
    std::vector<Place> places;  // longest URL first
    std::filesystem::path target;
    // The password file each secure place uses, by the place's URL.
    std::map<std::string, std::string> passwordFiles;
    // Own files lying in a served folder, as the URLs that would reach them.
    std::vector<std::string> ownUrls;
    std::optional<std::pair<std::filesystem::path, std::filesystem::path>> certificate;
};

// The text of quorvane.conf: a map and the server block. Fills `problem`
// with the first value nginx's syntax cannot hold (the text is then unusable).
std::string ServerBlock(const SiteFacts& facts, std::string& problem);

// The folder the error pages are copied to, under the export folder, and the
// URL prefix nginx reaches them by (internal only).
inline constexpr std::string_view kPagesFolder = "pages";
inline constexpr std::string_view kPagesUrl = "/.quorvane/";
inline constexpr std::string_view kFcgiSocket = "fcgiwrap.socket";
inline constexpr std::string_view kPerlLauncher = "perl-cgi";

}  // namespace quorvane::exporting
