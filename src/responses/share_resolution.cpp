#include "responses/share_resolution.h"

#include <fcntl.h>

#include "dav/beneath.h"
#include "responses/path_facts.h"

namespace quorvane::responses {

namespace fs = std::filesystem;

namespace {

bool AnyHidden(const std::vector<std::string>& segments) {
    return std::any_of(segments.begin(), segments.end(),
                       [](const std::string& segment) { return segment.starts_with('.'); });
}

// Not secure, never running or written: only what lies around the place
// still guards the sources of names that could run there.
Policy SharedPolicy(const fs::path& lying, const ResolveContext& context) {
    const Policy rules = FolderRulesAt(lying, context);
    Policy policy;
    policy.insideScriptFolder = rules.insideScriptFolder || rules.scripts || rules.programs;
    return policy;
}

void ResolveSharedFile(const PathFacts& root, const std::vector<std::string>& rest,
                       bool endsWithSlash, Resolution& resolution) {
    if (!rest.empty() || endsWithSlash) {
        return;  // a file has nothing below it
    }
    resolution.document = root.canonical.filename().string();
    resolution.folder = root.canonical.parent_path();
    resolution.path = root.canonical;
    resolution.base = resolution.folder;
    resolution.below = {resolution.document};
    resolution.found = Found::kFile;
    resolution.examined = root.handle;
    resolution.info = root.info;
}

void ResolveInSharedFolder(const PathFacts& root, const std::vector<std::string>& rest,
                           bool endsWithSlash, const config::OwnFiles& own,
                           Resolution& resolution) {
    if (AnyHidden(rest)) {
        return;
    }
    // Beneath the very folder examined, not whatever its path leads to now.
    config::FileHandle at = dav::OpenBeneath(root.handle->Get(), rest, O_PATH);
    const std::optional<struct stat> info = at ? dav::StatusOf(at.Get()) : std::nullopt;
    const std::optional<fs::path> where = at ? dav::WhereIs(at.Get()) : std::nullopt;
    if (!info || !where || own.Contains(*info)) {
        return;
    }
    resolution.base = root.canonical;
    resolution.below = rest;
    resolution.path = *where;
    if (S_ISDIR(info->st_mode)) {
        resolution.found = Found::kFolder;
        // Listed through the descriptor opened beneath the shared folder: a
        // folder swapped for a link meanwhile is not what gets listed.
        resolution.openedFolder = std::make_shared<const config::FileHandle>(std::move(at));
        resolution.folder = "/proc/self/fd/" + std::to_string(resolution.openedFolder->Get());
        for (const std::string& segment : rest) {
            resolution.directory += segment + "/";
        }
    } else if (S_ISREG(info->st_mode) && !endsWithSlash && !rest.empty()) {
        resolution.found = Found::kFile;
        resolution.document = rest.back();
        resolution.folder = where->parent_path();
        for (size_t i = 0; i + 1 < rest.size(); ++i) {
            resolution.directory += rest[i] + "/";
        }
        resolution.examined = std::make_shared<const config::FileHandle>(std::move(at));
        resolution.info = *info;
    }
}

}  // namespace

std::string SharePath(std::string_view token) {
    return "/" + std::string(kSharePrefix) + "/" + std::string(token);
}

Resolution ResolveShared(const config::ShareLink& link, std::string_view token,
                         const std::vector<std::string>& rest, bool endsWithSlash,
                         const ResolveContext& context) {
    Resolution resolution;
    resolution.directory = SharePath(token) + "/";
    // The link names where its file or folder lay when it was made, links
    // resolved: a link put on that way since, or a folder no longer served,
    // opens nothing.
    const PathFacts root = Examine(link.path);
    const config::OwnFiles own = OwnFilesWithKey(context.folder, context.settings, context.own);
    if (!root.exists || root.systemArea || !root.handle || own.Contains(root.info) ||
        root.canonical != fs::path(link.path) || !LiesInServedFolder(root.canonical, context)) {
        return resolution;
    }
    if (S_ISREG(root.info.st_mode)) {
        ResolveSharedFile(root, rest, endsWithSlash, resolution);
    } else if (S_ISDIR(root.info.st_mode)) {
        ResolveInSharedFolder(root, rest, endsWithSlash, own, resolution);
    }
    if (resolution.found != Found::kNothing) {
        resolution.policy = SharedPolicy(resolution.path, context);
    }
    return resolution;
}

Policy SharedPolicyAt(const fs::path& lying, const ResolveContext& context) {
    const std::optional<fs::path> real = RealPathNow(lying);
    if (!real) {
        Policy guarded;
        guarded.insideScriptFolder = true;  // where it lies cannot be told: guard it
        return guarded;
    }
    return SharedPolicy(*real, context);
}

}  // namespace quorvane::responses
