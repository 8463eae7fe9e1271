#include "export/site_places.h"

#include <algorithm>

#include "config/setting_keys.h"
#include "responses/path_facts.h"

namespace quorvane::exporting {

namespace fs = std::filesystem;
namespace setting = config::setting;

namespace {

// "/docs" and "docs/" alike as "/docs/"; the root record as "/".
std::string PlaceUrl(std::string_view name) {
    std::string url(1, '/');
    size_t start = 0;
    while (start < name.size()) {
        size_t end = std::min(name.find('/', start), name.size());
        const std::string_view segment = name.substr(start, end - start);
        if (!segment.empty() && segment != ".") {
            url.append(segment).push_back('/');
        }
        start = end + 1;
    }
    return url;
}

fs::path ConfiguredFolder(const config::ProgramFolder& program, std::string configured) {
    while (configured.size() > 1 && configured.back() == '/') {
        configured.pop_back();
    }
    return program.Resolve(configured).lexically_normal();
}

Place MakePlace(std::string url, fs::path folder) {
    std::optional<fs::path> real = responses::RealPathNow(folder);
    return {std::move(url), std::move(folder), std::move(real), {}};
}

// The secure folders holding `real`, as the server's resolution finds them.
void ApplySecure(const responses::ResolveContext& context, const Place& place,
                 responses::Policy& policy) {
    std::optional<size_t> deepest;
    for (const config::VirtualDirectory& record : context.dirs) {
        if (!record.secure || record.folder.empty()) {
            continue;
        }
        const auto real = responses::RealPathNow(ConfiguredFolder(context.folder, record.folder));
        if (real && place.real && !responses::IsInside(*place.real, *real)) {
            continue;
        }
        if (!record.users.empty()) {
            policy.admitted.push_back(record.users);
        }
        const size_t depth =
            real ? static_cast<size_t>(std::distance(real->begin(), real->end())) : SIZE_MAX;
        if (!deepest || depth > *deepest) {
            deepest = depth;
            policy.secure = true;
            policy.realm = record.name;
        }
    }
    if (!policy.secure && config::IsOn(context.settings, setting::kSecure)) {
        policy.secure = true;
        policy.realm = place.url;
    }
}

bool Guards(const config::VirtualDirectory& record) {
    return record.secure || record.scripts || record.programs || record.uploads || record.changes;
}

// The URL through which a request reaches `url`: the longest place name
// that is a prefix of it.
const Place* Through(const std::vector<Place>& bases, const std::string& url) {
    const Place* best = nullptr;
    for (const Place& base : bases) {
        if (url.starts_with(base.url) && (best == nullptr || base.url.size() > best->url.size())) {
            best = &base;
        }
    }
    return best;
}

// Each guarded folder lying strictly inside a base place, under the URL that
// reaches it through that place.
void AddGuardedBeneath(const responses::ResolveContext& context, std::vector<Place>& places) {
    const std::vector<Place> bases = places;
    for (const config::VirtualDirectory& record : context.dirs) {
        if (!Guards(record) || record.folder.empty()) {
            continue;
        }
        const auto real = responses::RealPathNow(ConfiguredFolder(context.folder, record.folder));
        for (const std::string& url : UrlsOf(real.value_or(fs::path()), bases)) {
            const bool known = std::any_of(places.begin(), places.end(),
                                           [&](const Place& place) { return place.url == url; });
            const Place* base = Through(bases, url);
            if (!known && base != nullptr && base->real != real) {
                places.push_back(
                    {url, base->folder / fs::path(url.substr(base->url.size())), real, {}});
            }
        }
    }
}

}  // namespace

std::vector<std::string> UrlsOf(const fs::path& path, const std::vector<Place>& places) {
    std::vector<std::string> urls;
    if (path.empty()) {
        return urls;
    }
    for (const Place& place : places) {
        if (!place.real || !responses::IsInside(path, *place.real)) {
            continue;
        }
        std::string url = place.url;
        bool hidden = false;
        for (const fs::path& segment : path.lexically_relative(*place.real)) {
            if (segment == ".") {
                continue;
            }
            hidden = hidden || segment.string().starts_with('.');
            url.append(segment.string()).push_back('/');
        }
        if (!hidden) {
            urls.push_back(std::move(url));
        }
    }
    return urls;
}

std::vector<Place> SitePlaces(const responses::ResolveContext& context) {
    std::vector<Place> places{MakePlace(
        "/", ConfiguredFolder(context.folder,
                              config::ServerValue(context.settings, setting::kRootDirectory)))};
    for (const config::VirtualDirectory& record : context.dirs) {
        const std::string url = PlaceUrl(record.name);
        const bool known = std::any_of(places.begin(), places.end(),
                                       [&](const Place& place) { return place.url == url; });
        if (!record.name.empty() && !record.folder.empty() && !known) {
            places.push_back(MakePlace(url, ConfiguredFolder(context.folder, record.folder)));
        }
    }
    AddGuardedBeneath(context, places);
    for (Place& place : places) {
        if (place.real) {
            place.policy = responses::FolderRulesAt(*place.real, context);
        } else {
            place.policy.insideScriptFolder = true;  // cannot be told: nothing runs, nothing shows
        }
        ApplySecure(context, place, place.policy);
    }
    std::stable_sort(places.begin(), places.end(),
                     [](const Place& a, const Place& b) { return a.url.size() > b.url.size(); });
    return places;
}

}  // namespace quorvane::exporting
