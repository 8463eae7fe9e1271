#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "config/program_folder.h"
#include "responses/standard_response.h"

namespace quorvane::responses {

// One entry of a folder as its pages show it.
struct ListedEntry {
    std::string name;     // the bytes on disk
    std::string sortKey;  // the name in upper case, as the classic page sorts
    Clock::time_point modified;
    uint64_t size;
    bool folder;
    struct stat info;  // as examined, links followed
};

// The folder's entries, in one pass over the open folder; each is examined
// relative to it (no path walk per entry), and links are followed, so a link
// to a file or folder is listed like what it leads to. Hidden names,
// anything but files and folders, and the program's own files are left out.
// Sub-folders come first, then by name ignoring letter case.
std::vector<ListedEntry> ListFolder(int folderFd, const config::OwnFiles& own);

// Whether the entry still is what was listed of it.
bool Unchanged(int folderFd, const ListedEntry& entry);

}  // namespace quorvane::responses
