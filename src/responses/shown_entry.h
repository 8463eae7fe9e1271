#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "responses/folder_view.h"

namespace quorvane::responses {

// The kinds of entry the listing draws its own icon for.
enum class EntryType { kFolder, kImage, kVideo, kAudio, kText, kArchive, kOther };

// "folder", "image", "video", "audio", "text", "archive" or "other".
std::string_view EntryTypeName(EntryType type);

// A folder, or a file's kind by the extension of its name (letter case
// ignored).
EntryType TypeOfEntry(const FolderEntry& entry);

// One entry as both the page and its JSON state it, made in one place so the
// two cannot disagree.
struct ShownEntry {
    std::string name;   // UTF-8: ill-formed bytes as U+FFFD, the rest exact
    std::string label;  // the name to show a person (config::ShowableText)
    // Relative to the folder's URL, the bytes on disk percent-encoded a
    // segment at a time; a folder's ends in "/".
    std::string href;
    std::string path;    // a search result's path, as UTF-8; else empty
    std::string within;  // its folder part to show, "sub/dir/"; else empty
    EntryType type = EntryType::kOther;
    std::string size;       // readable; a dash for folders
    std::string date;       // readable against the view's time
    std::string exactDate;  // local, to the second
    std::string utcDate;    // ISO 8601
};

ShownEntry ShowEntry(const FolderEntry& entry, std::chrono::system_clock::time_point now);

// A decoded URL path ("/docs/sub/") or relative path percent-encoded a
// segment at a time, its slashes kept.
std::string EncodeSegments(std::string_view path);

}  // namespace quorvane::responses
