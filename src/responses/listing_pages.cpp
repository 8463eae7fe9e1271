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

struct ListedFile {
    std::string name;
    std::string sortKey;
    Clock::time_point modified;
    uint64_t size;
};

// One pass over the folder; each entry is examined relative to the open
// folder (no path walk per file), and stat follows links, so a link to a
// file is listed like the file.
std::vector<ListedFile> ListFiles(const fs::path& folder, const config::OwnFiles& own) {
    std::vector<ListedFile> files;
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) {
        return files;
    }
    const int folderFd = ::dirfd(directory);
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name = entry->d_name;
        if (name.empty() || name.front() == '.' || entry->d_type == DT_DIR) {
            continue;
        }
        struct stat info {};
        if (::fstatat(folderFd, entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode) ||
            own.Contains(info)) {
            continue;  // a folder behind a link, an entry that vanished meanwhile, or ours
        }
        files.push_back({std::string(name), config::ToUpperAscii(name),
                         Clock::from_time_t(info.st_mtim.tv_sec),
                         static_cast<uint64_t>(info.st_size)});
    }
    ::closedir(directory);
    std::sort(files.begin(), files.end(), [](const ListedFile& a, const ListedFile& b) {
        return a.sortKey != b.sortKey ? a.sortKey < b.sortKey : a.name < b.name;
    });
    return files;
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
    const std::vector<ListedFile> files = ListFiles(folder, own);
    std::string body;
    body.reserve(256 + files.size() * 160);
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
    }
    for (const ListedFile& file : files) {
        const std::string shownName = EscapeHtml(file.name);
        body += "<TR>\r\n<TD>[" + LocalDateTimeText(file.modified) + "]</TD>\r\n";
        body += "<TD>     </TD>\r\n";
        body += "<TD><a href=\"" + linkPrefix + PercentEncodePath(file.name) + "\">" + shownName +
                "</a></TD>\r\n";
        body += "<TD>   </TD>\r\n";
        body += "<TD> " + std::to_string(file.size) + "</TD>\r\n</TR>\r\n";
    }
    body += "</Table>\r\n<p>\r\n<hr>\r\n</html>\r\n";

    Reply reply;
    reply.head =
        StandardHead({.contentType = "text/html", .contentLength = body.size(), .expires = {}});
    reply.body = std::move(body);
    return reply;
}

Reply SendRedirectPage(std::string_view url, Clock::time_point now) {
    std::string body = "<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV='REFRESH' CONTENT='1; URL=";
    body += url;
    body += "'></HEAD>\r\n</HTML>\r\n";
    Reply reply;
    reply.head = StandardHead({.status = Status::kFound,
                               .contentType = "text/html",
                               .contentLength = body.size(),
                               .expires = std::chrono::floor<std::chrono::seconds>(now),
                               .location = url});
    reply.body = std::move(body);
    return reply;
}

}  // namespace quorvane::responses
