#include "ui/control/share_links_view.h"

#include <gtest/gtest.h>

namespace quorvane::ui {
namespace {

using State = ShareLinkRow::State;
using std::chrono::hours;

const config::Clock::time_point kNow = *config::ParseUtcText("2026-12-10T12:00:00Z");
const std::string kShown =
    "The link was shown once, when it was made; make a new one to show "
    "it again.";

config::ShareLink Link(const std::string& token, std::optional<config::Clock::time_point> expires,
                       std::optional<uint64_t> downloads, std::string note = "") {
    return {.tokenHash = config::HashShareToken(token),
            .path = "/home/ann/www/report.pdf",
            .created = kNow - hours(48),
            .expires = expires,
            .downloadsLeft = downloads,
            .note = std::move(note)};
}

TEST(ShareLinksView, EachRowSaysWhatTheLinkStillOpensAndShowsOnlyKnownTokens) {
    const std::string known = config::MakeShareToken();
    const std::string other = config::MakeShareToken();
    ShareLinksView view;
    view.Remember(known);
    struct Case {
        config::ShareLink link;
        std::string expiry, downloads;
        State state;
        std::string url, notice;
    };
    const std::string url = "http://192.0.2.20:8080/s/" + known;
    const std::vector<Case> cases = {
        {Link(known, std::nullopt, std::nullopt, "for Bob"), "never", "no limit", State::kActive,
         url, ""},
        {Link(known, kNow + hours(3), 5), "until 2026-12-10 15:00", "5 left", State::kActive, url,
         ""},
        {Link(other, kNow + hours(3), 1), "until 2026-12-10 15:00", "1 left", State::kActive, "",
         kShown},
        {Link(known, kNow, 2), "expired 2026-12-10 12:00", "2 left", State::kExpired, "",
         "The link has expired: it opens nothing."},
        {Link(known, std::nullopt, 0), "never", "used up", State::kUsedUp, "",
         "The link is used up: it opens nothing."},
        {Link(other, kNow - hours(1), 0), "expired 2026-12-10 11:00", "used up", State::kExpired,
         "", "The link has expired: it opens nothing."},
    };
    config::ShareLinks links;
    for (const Case& each : cases) {
        links.push_back(each.link);
    }
    const std::vector<ShareLinkRow> rows = view.Rows(links, "http://192.0.2.20:8080", kNow);
    ASSERT_EQ(rows.size(), cases.size());
    for (size_t at = 0; at < cases.size(); ++at) {
        const Case& want = cases[at];
        EXPECT_EQ(rows[at], (ShareLinkRow{.id = want.link.tokenHash,
                                          .path = want.link.path,
                                          .expiry = want.expiry,
                                          .downloads = want.downloads,
                                          .note = want.link.note,
                                          .state = want.state,
                                          .url = want.url,
                                          .notice = want.notice}))
            << "row " << at;
    }
}

TEST(ShareLinksView, TheOfferedLifetimesAreOnesALinkCanHave) {
    for (const LifetimeChoice& choice : kLifetimeChoices) {
        EXPECT_TRUE(config::ParseShareLifetime(choice.text).has_value()) << choice.text;
    }
    EXPECT_EQ(config::ParseShareLifetime(kLifetimeChoices[kDefaultLifetime].text)->length,
              std::chrono::days(7));
}

}  // namespace
}  // namespace quorvane::ui
