#include "config/folder_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

namespace quorvane::config {

namespace {

// Everything that can change what a file of the folder holds, or which file
// a name is.
constexpr uint32_t kEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_CREATE | IN_DELETE |
                             IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF |
                             IN_DONT_FOLLOW | IN_ONLYDIR;

}  // namespace

FolderWatch::FolderWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FolderWatch::~FolderWatch() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool FolderWatch::Watch(const std::filesystem::path& folder) {
    if (fd_ < 0) {
        return false;
    }
    const std::string key = folder.string();
    if (watches_.contains(key)) {
        return true;
    }
    const int watch = ::inotify_add_watch(fd_, key.c_str(), kEvents);
    if (watch < 0) {
        return false;
    }
    watches_[key] = watch;
    folders_[watch] = key;
    return true;
}

FolderWatch::Changes FolderWatch::Take() {
    Changes changes;
    if (fd_ < 0) {
        return changes;
    }
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return changes;  // EAGAIN: nothing more pending
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                changes.everything = true;
                changes.namesChanged = true;
                continue;
            }
            const auto folder = folders_.find(event->wd);
            if (folder == folders_.end()) {
                continue;
            }
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                // The folder itself went: its files are looked at anew, and
                // it is watched again when one of them is read.
                changes.folders.push_back(folder->second);
                changes.namesChanged = true;
                if (!(event->mask & IN_IGNORED)) {
                    ::inotify_rm_watch(fd_, event->wd);
                }
                watches_.erase(folder->second);
                folders_.erase(folder);
                continue;
            }
            if (event->mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB)) {
                changes.namesChanged = true;  // IN_ATTRIB: a hard link made or removed
            }
            if (event->len > 0) {
                changes.paths.push_back(
                    (std::filesystem::path(folder->second) / event->name).string());
            }
        }
    }
}

}  // namespace quorvane::config
