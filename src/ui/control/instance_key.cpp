#include "ui/control/instance_key.h"

#include <cstdint>
#include <cstdio>
#include <system_error>

namespace quorvane::ui {

std::string FolderDigest(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, error);
    if (error) {
        canonical = std::filesystem::absolute(folder, error).lexically_normal();
    }
    std::string text = canonical.string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    // FNV-1a: stable across runs and builds, unlike std::hash.
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    char digits[17] = {};
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return digits;
}

std::string InstanceKey(const std::filesystem::path& folder, unsigned userId) {
    return "quorvane-" + std::to_string(userId) + "-" + FolderDigest(folder);
}

}  // namespace quorvane::ui
