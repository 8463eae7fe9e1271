#include "responses/readable_size.h"

#include <array>

namespace quorvane::responses {

std::string ReadableSizeText(uint64_t bytes) {
    if (bytes < 1000) {
        return std::to_string(bytes) + " B";
    }
    static constexpr std::array<const char*, 6> kUnits = {"KB", "MB", "GB", "TB", "PB", "EB"};
    uint64_t tenth = 100;  // of the unit, in bytes
    for (const char* unit : kUnits) {
        // Rounded without adding, which could overflow near the largest size.
        const uint64_t tenths = bytes / tenth + (bytes % tenth >= (tenth + 1) / 2 ? 1 : 0);
        if (tenths < 10000 || unit == kUnits.back()) {
            return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + unit;
        }
        tenth *= 1000;
    }
    return {};
}

}  // namespace quorvane::responses
