#pragma once

#include <sys/types.h>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace quorvane::config {

// Replaces a file's whole content through a temporary file in the same folder
// and a rename, so a reader sees either the old or the new file and a crash
// never leaves half a file. An existing file keeps its permissions, less any
// group and other bits when `newFileMode` has none; a new one gets
// `newFileMode`. The temporary file is never more open than the result.
// Returns false when the file could not be written.
bool ReplaceFileContent(const std::filesystem::path& path, std::string_view content,
                        mode_t newFileMode = 0644);

// Makes a new file with this content, with `mode` from its first byte on.
// An existing file (or link) of that name is left alone and gives
// errc::file_exists; a file that could not be written whole is removed.
std::error_code CreateNewFile(const std::filesystem::path& path, std::string_view content,
                              mode_t mode);

// The whole content of a regular file, or nothing when it is missing,
// is not a regular file or cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

}  // namespace quorvane::config
