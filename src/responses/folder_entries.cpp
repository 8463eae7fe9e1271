#include "responses/folder_entries.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "config/text.h"

namespace quorvane::responses {

std::vector<ListedEntry> ListFolder(int folderFd, const config::OwnFiles& own) {
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
                           static_cast<uint64_t>(info.st_size), S_ISDIR(info.st_mode), info});
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

bool Unchanged(int folderFd, const ListedEntry& entry) {
    struct stat info {};
    return ::fstatat(folderFd, entry.name.c_str(), &info, 0) == 0 &&
           S_ISDIR(info.st_mode) == entry.folder && info.st_ino == entry.info.st_ino &&
           info.st_dev == entry.info.st_dev && static_cast<uint64_t>(info.st_size) == entry.size &&
           info.st_mtim.tv_sec == entry.info.st_mtim.tv_sec &&
           info.st_mtim.tv_nsec == entry.info.st_mtim.tv_nsec;
}

}  // namespace quorvane::responses
