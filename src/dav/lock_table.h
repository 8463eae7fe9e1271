#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::dav {

// A write lock a client holds (RFC 4918 section 6), on a path in URL space
// ("/docs/a.txt", "/" for the root).
struct Lock {
    std::string token;  // "opaquelocktoken:" and a random UUID
    std::string root;
    bool exclusive = true;
    bool infinite = false;  // the whole tree below a folder
    std::string owner;      // the client's owner element, as XML
    std::chrono::seconds timeout{0};
    std::chrono::steady_clock::time_point expires;
};

// The locks held now, in memory: each ends at its timeout, on UNLOCK, or
// when its resource is moved or deleted. Their number is bounded, so a flood
// of LOCKs cannot grow the server.
class LockTable {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kMaxLocks = 4096;
    static constexpr std::chrono::seconds kLongestTimeout{3600};

    // The locks whose scope holds `path`: on it, or infinite on a folder above.
    std::vector<Lock> Covering(std::string_view path, Clock::time_point now);
    // The locks on `path` or anywhere below it.
    std::vector<Lock> Within(std::string_view path, Clock::time_point now);
    // Nothing when the table is full.
    std::optional<Lock> Add(Lock lock, Clock::time_point now);
    std::optional<Lock> Refresh(std::string_view token, std::chrono::seconds timeout,
                                Clock::time_point now);
    bool Remove(std::string_view token);
    // A resource moved or deleted takes its locks and those below with it.
    void RemoveWithin(std::string_view path);

  private:
    void Expire(Clock::time_point now);

    std::vector<Lock> locks_;
};

// Whether `path` is `root` or lies below it, in URL space.
bool PathWithin(std::string_view path, std::string_view root);

// A Timeout header's first acceptable value ("Second-600", "Infinite"),
// bounded by the table's longest.
std::chrono::seconds LockTimeout(std::optional<std::string_view> header);

// A fresh random token.
std::string NewLockToken();

}  // namespace quorvane::dav
