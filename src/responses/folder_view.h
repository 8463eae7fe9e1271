#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::responses {

enum class SortKey { kName, kSize, kTime };

// One entry of a folder (or one search result) as the modern listing shows it.
struct FolderEntry {
    std::string name;  // the bytes on disk, which need not be UTF-8
    bool folder = false;
    uint64_t size = 0;
    std::chrono::system_clock::time_point modified;
    std::string etag;
    bool thumbnail = false;  // an image the server makes thumbnails of
    // A search result's place below the folder shown, "sub/dir/x.txt"
    // (ending in the name); empty in a plain listing.
    std::string path;
};

// Everything the modern folder page and its JSON say about one folder.
struct FolderView {
    std::string directory;  // the URL path, decoded: "/" or "/docs/sub/"
    std::string hostName;
    // Where the way back up begins (a share link's folder, or the site's
    // root), and its name: the host's when empty.
    std::string top = "/";
    std::string topName;
    std::vector<FolderEntry> entries;  // in the order shown (SortEntries)
    bool mayUpload = false;
    bool mayChange = false;  // rename and delete
    SortKey sort = SortKey::kName;
    bool descending = false;
    std::optional<std::string> search;  // the text searched for, when showing results
    bool cut = false;                   // the search stopped at its bound
    // RenderReadme's HTML, placed below the list as it is; nothing when empty.
    std::string readmeHtml;
    std::chrono::system_clock::time_point now;
};

}  // namespace quorvane::responses
