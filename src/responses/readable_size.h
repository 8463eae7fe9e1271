#pragma once

#include <cstdint>
#include <string>

namespace quorvane::responses {

// A size as file managers show it, in decimal units (1 KB = 1000 bytes):
// "0 B", "512 B", "4.2 KB", "999.9 KB", "1.0 MB", up to "18.4 EB". One
// decimal, rounded half up; a figure that would round to 1000 moves to the
// next unit.
std::string ReadableSizeText(uint64_t bytes);

}  // namespace quorvane::responses
