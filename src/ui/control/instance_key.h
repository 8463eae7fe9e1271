#pragma once

#include <filesystem>
#include <string>

namespace quorvane::ui {

// The name under which the running window of one program folder answers: the
// same for every spelling of the folder (links, "..", a trailing slash), and
// different for another folder or another user. Short enough for a local
// socket's path.
std::string InstanceKey(const std::filesystem::path& folder, unsigned userId);

// Sixteen hex digits that name the folder, the same for every spelling of it.
std::string FolderDigest(const std::filesystem::path& folder);

}  // namespace quorvane::ui
