#include "ui/control/share_links_view.h"

#include <ctime>

#include "responses/share_resolution.h"

namespace quorvane::ui {

namespace {

using State = ShareLinkRow::State;

// The owner reads times in the computer's own time zone.
std::string LocalTimeText(config::Clock::time_point time) {
    const std::time_t seconds = config::Clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

State StateOf(const config::ShareLink& link, config::Clock::time_point now) {
    if (link.expires && now >= *link.expires) {
        return State::kExpired;
    }
    return link.downloadsLeft == uint64_t{0} ? State::kUsedUp : State::kActive;
}

std::string DownloadsText(const std::optional<uint64_t>& left) {
    if (!left) {
        return "no limit";
    }
    return *left == 0 ? "used up" : std::to_string(*left) + " left";
}

std::string NoticeOf(State state) {
    switch (state) {
        case State::kExpired:
            return "The link has expired: it opens nothing.";
        case State::kUsedUp:
            return "The link is used up: it opens nothing.";
        case State::kActive:
            break;
    }
    return "The link was shown once, when it was made; make a new one to show it again.";
}

}  // namespace

std::string ShareLinkUrl(std::string_view siteUrl, std::string_view token) {
    return std::string(siteUrl) + responses::SharePath(token);
}

void ShareLinksView::Remember(const std::string& token) {
    tokens_[config::HashShareToken(token)] = token;
}

std::vector<ShareLinkRow> ShareLinksView::Rows(const config::ShareLinks& links,
                                               std::string_view siteUrl,
                                               config::Clock::time_point now) const {
    std::vector<ShareLinkRow> rows;
    for (const config::ShareLink& link : links) {
        ShareLinkRow row{.id = link.tokenHash,
                         .path = link.path,
                         .downloads = DownloadsText(link.downloadsLeft),
                         .note = link.note,
                         .state = StateOf(link, now)};
        if (link.expires) {
            row.expiry = (row.state == State::kExpired ? "expired " : "until ") +
                         LocalTimeText(*link.expires);
        } else {
            row.expiry = "never";
        }
        const auto known = tokens_.find(link.tokenHash);
        if (row.state == State::kActive && known != tokens_.end()) {
            row.url = ShareLinkUrl(siteUrl, known->second);
        } else {
            row.notice = NoticeOf(row.state);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace quorvane::ui
