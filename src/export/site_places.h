#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "config/list_records.h"
#include "responses/resolution.h"

namespace quorvane::exporting {

// One URL prefix of the site and the folder it serves, with what applies
// there. The server decides secure folders, scripts and writes by where a
// file lies, so a guarded folder reached beneath another prefix becomes a
// place of its own: nginx decides by the longest prefix.
struct Place {
    std::string url;                            // "/" or "/docs/private/"
    std::filesystem::path folder;               // absolute, as configured
    std::optional<std::filesystem::path> real;  // where it lies now
    responses::Policy policy;
};

// The root folder, every virtual directory (the first of equal names, as the
// server picks), and each guarded folder beneath one of them, longest URL
// first.
std::vector<Place> SitePlaces(const responses::ResolveContext& context);

// The URL under which `path` (where it lies now) is reached through `places`,
// one per place that holds it.
std::vector<std::string> UrlsOf(const std::filesystem::path& path,
                                const std::vector<Place>& places);

}  // namespace quorvane::exporting
