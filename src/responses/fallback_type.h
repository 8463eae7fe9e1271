#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quorvane::responses {

// For a file that neither mime.lst nor the system table knows: "text/plain"
// when `head` (its first kSniffedBytes bytes, or all of a shorter file) is
// valid UTF-8 without NUL bytes, else "application/octet-stream". A character
// cut off by the end of `head` counts as valid when the file goes on past it
// (`fileSize` larger than `head`), not at the file's real end.
std::string_view FallbackContentType(std::string_view head, uint64_t fileSize);

}  // namespace quorvane::responses
