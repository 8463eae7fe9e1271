#include "responses/listing_pages.h"

#include <vector>

#include "http/escaping.h"
#include "responses/date_text.h"

namespace quorvane::responses {

namespace fs = std::filesystem;

namespace {

void AppendRow(std::string& body, std::string_view date, std::string_view link,
               std::string_view shown, std::string_view size) {
    body += "<TR>\r\n<TD>";
    body += date;
    body += "</TD>\r\n<TD>     </TD>\r\n<TD><a href=\"";
    body += link;
    body += "\">";
    body += shown;
    body += "</a></TD>\r\n<TD>   </TD>\r\n<TD>";
    body += size;
    body += "</TD>\r\n</TR>\r\n";
}

std::string ListingPage(const std::vector<ListedEntry>& entries, std::string_view directory,
                        std::string_view hostName) {
    const std::string shownDirectory = http::EscapeHtml(directory);
    std::string body;
    body.reserve(256 + entries.size() * 160);
    body += "<html>\r\n<title>Directory Listing Of - " + shownDirectory + "</title>\r\n<h1>" +
            http::EscapeHtml(hostName) + " - " + shownDirectory +
            "</h1>\r\n<hr>\r\n<p>\r\n<table border=\"0\">\r\n";
    // Root links stay relative; elsewhere one "/" joins directory and name.
    std::string linkPrefix;
    if (directory != "/") {
        linkPrefix = http::PercentEncodePath(directory);
        if (linkPrefix.empty() || linkPrefix.back() != '/') {
            linkPrefix += '/';
        }
        const size_t parentEnd = linkPrefix.rfind('/', linkPrefix.size() - 2);
        AppendRow(body, "", linkPrefix.substr(0, parentEnd + 1), "Parent Directory", "");
    }
    // Texts are appended piece by piece: GCC 12 at -O3 takes `"[" + text`
    // for an overlapping copy and stops a Release build with -Werror=restrict.
    for (const ListedEntry& entry : entries) {
        std::string date(1, '[');
        date.append(LocalDateTimeText(entry.modified)).push_back(']');
        std::string link = linkPrefix;
        link.append(http::PercentEncodePath(entry.name));
        std::string shown = http::EscapeHtml(entry.name);
        std::string size;
        if (entry.folder) {
            link += '/';
            shown += '/';
        } else {
            size.assign(1, ' ').append(std::to_string(entry.size));
        }
        AppendRow(body, date, link, shown, size);
    }
    body += "</Table>\r\n<p>\r\n<hr>\r\n</html>\r\n";
    return body;
}

}  // namespace

http::Response SendDirectoryListing(const fs::path& folder, std::string_view directory,
                                    std::string_view hostName, const config::OwnFiles& own,
                                    ListingCache* cache) {
    ListingCache once;
    std::string variant = "classic";
    variant.append(1, '\0').append(directory).append(1, '\0').append(hostName);
    const std::shared_ptr<const std::string> page =
        (cache != nullptr ? *cache : once)
            .Page(folder, own, variant, [&](const std::vector<ListedEntry>& entries) {
                return ListingPage(entries, directory, hostName);
            });
    http::Response reply = StandardResponse({.contentType = kPageType});
    reply.body = page;
    return reply;
}

http::Response SendRedirectPage(std::string_view url, Clock::time_point now) {
    std::string body = "<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV='REFRESH' CONTENT='1; URL=";
    body += url;
    body += "'></HEAD>\r\n</HTML>\r\n";
    http::Response reply =
        StandardResponse({.status = Status::kFound,
                          .contentType = kPageType,
                          .expires = std::chrono::floor<std::chrono::seconds>(now),
                          .location = url});
    reply.body = std::move(body);
    return reply;
}

namespace {

http::Response MovedPage(Status status, std::string_view sentence, std::string_view location,
                         Clock::time_point now) {
    const std::string link = http::EscapeHtml(location);
    std::string body = "<html>\r\n<title>" + std::string(http::ReasonPhrase(status)) +
                       "</title>\r\n<p>" + std::string(sentence) + " <a href=\"" + link + "\">" +
                       link + "</a>.</p>\r\n</html>\r\n";
    http::Response reply =
        StandardResponse({.status = status,
                          .contentType = kPageType,
                          .expires = std::chrono::floor<std::chrono::seconds>(now),
                          .location = location});
    reply.body = std::move(body);
    return reply;
}

}  // namespace

http::Response SendMovedPage(std::string_view location, Clock::time_point now) {
    return MovedPage(Status::kMovedPermanently, "This folder is at", location, now);
}

http::Response SendSecureRedirectPage(std::string_view location, Clock::time_point now) {
    // Temporary, so browsers forget it once the owner turns HTTPS off.
    return MovedPage(Status::kTemporaryRedirect, "This site is served over HTTPS, at", location,
                     now);
}

}  // namespace quorvane::responses
