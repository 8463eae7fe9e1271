#include "responses/listing_pages.h"

#include <dirent.h>
#include <sys/stat.h>
#include <algorithm>
#include <vector>

#include "config/text.h"
#include "responses/date_text.h"

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

// One pass over the folder; each entry is examined relative to the open
// folder (no path walk per entry), and stat follows links, so a link to a
// file or folder is listed like what it leads to. Sub-folders come first.
std::vector<ListedEntry> ListEntries(const fs::path& folder, const config::OwnFiles& own) {
    std::vector<ListedEntry> entries;
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) {
        return entries;
    }
    const int folderFd = ::dirfd(directory);
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

std::string EscapeHtml(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string PercentEncodePath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                           (byte >= '0' && byte <= '9') ||
                           std::string_view("-._~/!$()*,;=:@").find(c) != std::string_view::npos;
        if (plain) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0xF];
        }
    }
    return encoded;
}

Reply SendDirectoryListing(const fs::path& folder, std::string_view directory,
                           std::string_view hostName, const config::OwnFiles& own) {
    const std::string shownDirectory = EscapeHtml(directory);
    const std::vector<ListedEntry> entries = ListEntries(folder, own);
    std::string body;
    body.reserve(256 + entries.size() * 160);
    body += "<html>\r\n<title>Directory Listing Of - " + shownDirectory + "</title>\r\n<h1>" +
            EscapeHtml(hostName) + " - " + shownDirectory +
            "</h1>\r\n<hr>\r\n<p>\r\n<table border=\"0\">\r\n";
    // Root links stay relative; elsewhere one "/" joins directory and name.
    std::string linkPrefix;
    if (directory != "/") {
        linkPrefix = PercentEncodePath(directory);
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
        link.append(PercentEncodePath(entry.name));
        std::string shown = EscapeHtml(entry.name);
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

    Reply reply = StandardReply({.contentType = kPageType, .contentLength = body.size()});
    reply.body = std::move(body);
    return reply;
}

Reply SendRedirectPage(std::string_view url, Clock::time_point now) {
    std::string body = "<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV='REFRESH' CONTENT='1; URL=";
    body += url;
    body += "'></HEAD>\r\n</HTML>\r\n";
    Reply reply = StandardReply({.status = Status::kFound,
                                 .contentType = kPageType,
                                 .contentLength = body.size(),
                                 .expires = std::chrono::floor<std::chrono::seconds>(now),
                                 .location = url});
    reply.body = std::move(body);
    return reply;
}

Reply SendMovedPage(std::string_view location, Clock::time_point now) {
    const std::string link = EscapeHtml(location);
    std::string body =
        "<html>\r\n<title>Moved Permanently</title>\r\n<p>This folder is at <a href=\"" + link +
        "\">" + link + "</a>.</p>\r\n</html>\r\n";
    Reply reply = StandardReply({.status = Status::kMovedPermanently,
                                 .contentType = kPageType,
                                 .contentLength = body.size(),
                                 .expires = std::chrono::floor<std::chrono::seconds>(now),
                                 .location = location});
    reply.body = std::move(body);
    return reply;
}

}  // namespace quorvane::responses
