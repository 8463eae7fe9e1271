#include "responses/listing_pages.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#include <vector>

#include "config/file_handle.h"
#include "config/text.h"
#include "http/escaping.h"
#include "responses/date_text.h"
#include "server/limits.h"

namespace quorvane::responses {

namespace fs = std::filesystem;

namespace {

struct ListedEntry {
    std::string name;
    std::string sortKey;
    Clock::time_point modified;
    uint64_t size;
    bool folder;
};

// One pass over the open folder; each entry is examined relative to it (no
// path walk per entry), and stat follows links, so a link to a file or folder
// is listed like what it leads to. Sub-folders come first.
std::vector<ListedEntry> ListEntries(int folderFd, const config::OwnFiles& own) {
    std::vector<ListedEntry> entries;
    DIR* directory = ::fdopendir(::dup(folderFd));
    if (directory == nullptr) {
        return entries;
    }
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name = entry->d_name;
        if (name.empty() || name.front() == '.') {
            continue;  // hidden, and "." and ".."
        }
        struct stat info {};
        if (::fstatat(folderFd, entry->d_name, &info, 0) != 0 ||
            !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) || own.Contains(info)) {
            continue;  // vanished meanwhile, a device or a pipe, or one of ours
        }
        entries.push_back({std::string(name), config::ToUpperAscii(name),
                           Clock::from_time_t(info.st_mtim.tv_sec),
                           static_cast<uint64_t>(info.st_size), S_ISDIR(info.st_mode)});
    }
    ::closedir(directory);
    std::sort(entries.begin(), entries.end(), [](const ListedEntry& a, const ListedEntry& b) {
        if (a.folder != b.folder) {
            return a.folder;
        }
        return a.sortKey != b.sortKey ? a.sortKey < b.sortKey : a.name < b.name;
    });
    return entries;
}

// Whether the entry still is what the page shows of it.
bool Unchanged(int folderFd, const ListedEntry& entry) {
    struct stat info {};
    return ::fstatat(folderFd, entry.name.c_str(), &info, 0) == 0 &&
           S_ISDIR(info.st_mode) == entry.folder &&
           static_cast<uint64_t>(info.st_size) == entry.size &&
           Clock::from_time_t(info.st_mtim.tv_sec) == entry.modified;
}

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

}  // namespace

namespace {

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

struct ListingCache::Kept {
    std::string key;  // folder, directory and host name
    struct stat folder {};
    std::vector<ListedEntry> entries;
    config::OwnFiles own;  // left out of the page
    std::shared_ptr<const std::string> page;
    uint64_t lastUse = 0;
};

ListingCache::ListingCache() = default;
ListingCache::~ListingCache() = default;

std::shared_ptr<const std::string> ListingCache::Page(const fs::path& folder,
                                                      std::string_view directory,
                                                      std::string_view hostName,
                                                      const config::OwnFiles& own) {
    config::FileHandle folderFd{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    struct stat info {};
    if (!folderFd || ::fstat(folderFd.Get(), &info) != 0) {
        return std::make_shared<const std::string>(ListingPage({}, directory, hostName));
    }
    std::string key = folder.string();
    key.append(1, '\0').append(directory).append(1, '\0').append(hostName);
    ++uses_;
    for (Kept& kept : kept_) {
        // An entry added, removed or renamed moves the folder's times; a file
        // written in place is seen by its own size and time.
        if (kept.key == key && kept.folder.st_ino == info.st_ino &&
            kept.folder.st_dev == info.st_dev &&
            kept.folder.st_mtim.tv_sec == info.st_mtim.tv_sec &&
            kept.folder.st_mtim.tv_nsec == info.st_mtim.tv_nsec &&
            kept.folder.st_ctim.tv_sec == info.st_ctim.tv_sec &&
            kept.folder.st_ctim.tv_nsec == info.st_ctim.tv_nsec && kept.own == own &&
            std::all_of(kept.entries.begin(), kept.entries.end(), [&](const ListedEntry& entry) {
                return Unchanged(folderFd.Get(), entry);
            })) {
            kept.lastUse = uses_;
            return kept.page;
        }
    }
    std::vector<ListedEntry> entries = ListEntries(folderFd.Get(), own);
    auto page = std::make_shared<const std::string>(ListingPage(entries, directory, hostName));
    Kept fresh{std::move(key), info, std::move(entries), own, page, uses_};
    auto slot = std::find_if(kept_.begin(), kept_.end(),
                             [&](const Kept& kept) { return kept.key == fresh.key; });
    if (slot != kept_.end()) {
        *slot = std::move(fresh);
    } else if (kept_.size() < kKeptListingPages) {
        kept_.push_back(std::move(fresh));
    } else {
        *std::min_element(kept_.begin(), kept_.end(), [](const Kept& a, const Kept& b) {
            return a.lastUse < b.lastUse;
        }) = std::move(fresh);
    }
    return page;
}

http::Response SendDirectoryListing(const fs::path& folder, std::string_view directory,
                                    std::string_view hostName, const config::OwnFiles& own,
                                    ListingCache* cache) {
    ListingCache once;
    const std::shared_ptr<const std::string> page =
        (cache != nullptr ? *cache : once).Page(folder, directory, hostName, own);
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
