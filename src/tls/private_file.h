#pragma once

#include <filesystem>
#include <string_view>

namespace quorvane::tls {

// Replaces a file with content that only its owner may read, through a
// temporary file (created 0600) and a rename, so no other user can read the
// new content at any moment, whatever the old file's mode was.
bool WritePrivateFile(const std::filesystem::path& path, std::string_view content);

}  // namespace quorvane::tls
