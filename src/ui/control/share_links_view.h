#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "config/share_links.h"

namespace quorvane::ui {

// The lifetimes "Share..." offers, as ParseShareLifetime reads them.
struct LifetimeChoice {
    std::string_view label;
    std::string_view text;
};
inline constexpr std::array<LifetimeChoice, 4> kLifetimeChoices{{
    {"1 hour", "1h"},
    {"1 day", "1d"},
    {"7 days", "7d"},
    {"Never", "never"},
}};
inline constexpr size_t kDefaultLifetime = 2;

// One row of the Shared links tab.
struct ShareLinkRow {
    enum class State { kActive, kExpired, kUsedUp };

    std::string id;  // the token's hash: revoking by it can never be ambiguous
    std::string path;
    std::string expiry;
    std::string downloads;
    std::string note;
    State state = State::kActive;
    std::string url;     // empty when it cannot be shown
    std::string notice;  // why there is no URL to show
    bool operator==(const ShareLinkRow&) const = default;
};

// The Shared links tab's rows. shares.lst keeps only each token's hash, so
// a link's URL can be shown again only while this window remembers the
// token it made.
class ShareLinksView {
  public:
    void Remember(const std::string& token);
    // `siteUrl` is the site's address as the network reaches it.
    std::vector<ShareLinkRow> Rows(const config::ShareLinks& links, std::string_view siteUrl,
                                   config::Clock::time_point now) const;

  private:
    std::map<std::string, std::string> tokens_;  // by the token's hash
};

// A link's URL: the site's address and "/s/" and the token.
std::string ShareLinkUrl(std::string_view siteUrl, std::string_view token);

}  // namespace quorvane::ui
