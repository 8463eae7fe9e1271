#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/file_handle.h"

namespace quorvane::dav {

using config::FileHandle;

// Every change to disk is made relative to a folder's descriptor, each name
// a single segment the server checked, and every path opened beneath a
// configured folder with RESOLVE_BENEATH: a link inside the served folder
// may lead elsewhere inside it, never out of it.

// The configured folder itself, links followed as the site follows them.
FileHandle OpenBase(const std::filesystem::path& base);
// `segments` opened beneath `base`; a failure leaves errno.
FileHandle OpenBeneath(int base, const std::vector<std::string>& segments, int flags);

// The entry `name` in `folder`, its link (if it is one) not followed.
std::optional<struct stat> EntryStatus(int folder, const std::string& name);
// A descriptor's own status.
std::optional<struct stat> StatusOf(int fd);
// Where an open entry lies now.
std::optional<std::filesystem::path> WhereIs(int fd);

// Calls `visit` for each name in an open folder ("." and ".." left out).
bool EachName(int folder, const std::function<void(const std::string&)>& visit);

// A tree of entries as a walk finds it, links never followed; bounded, so a
// huge tree is refused rather than walked for ever.
struct TreeWalk {
    static constexpr size_t kMostEntries = 100000;
    static constexpr size_t kDeepest = 64;
    // False from `check` stops the walk and refuses the tree.
    std::function<bool(const struct stat&)> check;
};
// Whether every entry of the tree at `name` in `folder` passes the walk's check.
bool TreeAllowed(int folder, const std::string& name, const TreeWalk& walk);

// Removes `name` from `folder`, a folder with everything inside it.
bool RemoveTree(int folder, const std::string& name);
// Copies a file, or a folder (with what it holds when `deep`), with its
// dead properties; links are left out.
bool CopyTree(int from, const std::string& fromName, int to, const std::string& toName, bool deep);

// Free bytes for an unprivileged writer on the file system holding `folder`.
std::optional<uint64_t> FreeBytes(int folder);

}  // namespace quorvane::dav
