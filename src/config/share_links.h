#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/list_file.h"

namespace quorvane::config {

using Clock = std::chrono::system_clock;

// shares.lst: a link that lets whoever holds it read one file, or one folder
// and what lies below it. Only the token's hash is kept, so the file gives
// no link away.
struct ShareLink {
    static constexpr size_t kFields = 6;

    std::string tokenHash;  // SHA-256 of the token, lower-case hex
    std::string path;       // the file or folder on disk, absolute
    Clock::time_point created;
    std::optional<Clock::time_point> expires;  // none: never
    std::optional<uint64_t> downloadsLeft;     // none: no limit
    std::string note;                          // the owner's, for the owner

    // Nothing for a damaged record: it never opens anything.
    static std::optional<ShareLink> FromRecord(const Record& record);
    Record ToRecord() const;
    // Names the link to its owner (listing, revoking) without giving it.
    std::string Id() const;
    bool Usable(Clock::time_point now) const;
    bool operator==(const ShareLink&) const = default;
};
using ShareLinks = std::vector<ShareLink>;

std::vector<ShareLink> ParseShareLinks(std::string_view text);

// A new token: 192 random bits as 32 characters of URL-safe Base64.
std::string MakeShareToken();
// Whether a text has a token's shape; says nothing of whether it is one.
bool IsShareToken(std::string_view text);
std::string HashShareToken(std::string_view token);
// The usable link the token opens, if any.
const ShareLink* FindShareLink(const ShareLinks& links, std::string_view token,
                               Clock::time_point now);

// How long a new link lives: "1h", "1d", "7d" (any count of hours, days or
// weeks) or "never"; nothing for any other text.
struct ShareLifetime {
    std::optional<std::chrono::seconds> length;  // none: never expires
};
std::optional<ShareLifetime> ParseShareLifetime(std::string_view text);

// Times as the file writes them: "2026-12-10T07:00:00Z".
std::string UtcText(Clock::time_point time);
std::optional<Clock::time_point> ParseUtcText(std::string_view text);

// shares.lst, changed only under a lock on its folder, so the server
// counting a download and the owner making or revoking a link never undo
// each other's change.
class SharesFile {
  public:
    explicit SharesFile(std::filesystem::path path) : path_(std::move(path)) {}

    // Every link; nothing when the file exists but cannot be read.
    std::optional<ShareLinks> Read() const;
    bool Add(const ShareLink& link);

    enum class Revoked { kDone, kUnknown, kAmbiguous, kFailed };
    // Ends the link whose Id begins with `id` (at least 4 characters).
    Revoked Revoke(std::string_view id);

    enum class Taken { kTaken, kGone, kFailed };
    // Counts one download on the link, which must still be usable.
    Taken TakeDownload(std::string_view tokenHash, Clock::time_point now);

  private:
    std::filesystem::path path_;
};

}  // namespace quorvane::config
