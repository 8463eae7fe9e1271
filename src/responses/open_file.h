#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>

#include "config/file_handle.h"

namespace quorvane::responses {

// An open regular file and its size, taken from the open file itself so the
// length in the head matches what is streamed.
struct OpenFile {
    config::FileHandle file;
    uint64_t size = 0;
    struct stat info {};  // of the open file, for its validators
};

// Nothing when the path is missing, is not a regular file or cannot be opened.
std::optional<OpenFile> OpenRegularFile(const std::filesystem::path& path);

// The file examined earlier (an O_PATH descriptor and what it was then),
// opened for reading as that very file; by its path where /proc is missing.
std::optional<OpenFile> OpenExaminedFile(const std::filesystem::path& path, int examined,
                                         const struct stat& info);

}  // namespace quorvane::responses
