#include "dav/lock_table.h"

#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace quorvane::dav {

bool PathWithin(std::string_view path, std::string_view root) {
    if (root == "/" || path == root) {
        return true;
    }
    return path.size() > root.size() && path.starts_with(root) && path[root.size()] == '/';
}

void LockTable::Expire(Clock::time_point now) {
    std::erase_if(locks_, [now](const Lock& lock) { return lock.expires <= now; });
}

std::vector<Lock> LockTable::Covering(std::string_view path, Clock::time_point now) {
    Expire(now);
    std::vector<Lock> found;
    for (const Lock& lock : locks_) {
        if (lock.root == path || (lock.infinite && PathWithin(path, lock.root))) {
            found.push_back(lock);
        }
    }
    return found;
}

std::vector<Lock> LockTable::Within(std::string_view path, Clock::time_point now) {
    Expire(now);
    std::vector<Lock> found;
    for (const Lock& lock : locks_) {
        if (PathWithin(lock.root, path)) {
            found.push_back(lock);
        }
    }
    return found;
}

std::optional<Lock> LockTable::Add(Lock lock, Clock::time_point now) {
    Expire(now);
    if (locks_.size() >= kMaxLocks) {
        return std::nullopt;
    }
    lock.expires = now + lock.timeout;
    locks_.push_back(lock);
    return lock;
}

std::optional<Lock> LockTable::Refresh(std::string_view token, std::chrono::seconds timeout,
                                       Clock::time_point now) {
    Expire(now);
    for (Lock& lock : locks_) {
        if (lock.token == token) {
            lock.timeout = timeout;
            lock.expires = now + timeout;
            return lock;
        }
    }
    return std::nullopt;
}

bool LockTable::Remove(std::string_view token) {
    return std::erase_if(locks_, [token](const Lock& lock) { return lock.token == token; }) > 0;
}

void LockTable::RemoveWithin(std::string_view path) {
    std::erase_if(locks_, [path](const Lock& lock) { return PathWithin(lock.root, path); });
}

std::chrono::seconds LockTimeout(std::optional<std::string_view> header) {
    constexpr std::chrono::seconds kUsual{600};
    if (!header) {
        return kUsual;
    }
    std::string_view rest = *header;
    while (!rest.empty()) {
        const size_t comma = std::min(rest.find(','), rest.size());
        std::string_view item = rest.substr(0, comma);
        while (!item.empty() && item.front() == ' ') {
            item.remove_prefix(1);
        }
        if (item.starts_with("Infinite")) {
            return LockTable::kLongestTimeout;
        }
        if (item.starts_with("Second-") && item.size() > 7 && item.size() <= 17 &&
            std::all_of(item.begin() + 7, item.end(),
                        [](char c) { return c >= '0' && c <= '9'; })) {
            const long seconds = std::stol(std::string(item.substr(7)));
            return std::clamp(std::chrono::seconds(seconds), std::chrono::seconds(1),
                              LockTable::kLongestTimeout);
        }
        rest.remove_prefix(std::min(comma + 1, rest.size()));
    }
    return kUsual;
}

std::string NewLockToken() {
    std::array<unsigned char, 16> bytes{};
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
        return {};  // no token rather than a guessable one
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // a version 4 UUID
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    std::array<char, 37> text{};
    std::snprintf(text.data(), text.size(),
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return "opaquelocktoken:" + std::string(text.data());
}

}  // namespace quorvane::dav
