#pragma once

#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvane::config {

// Change notification (inotify) for the folders whose files are held in
// memory, so that asking whether a file changed costs one read of pending
// events instead of a stat of every file. Where notification is unavailable
// (no inotify, too many watches), callers look at the files themselves.
class FolderWatch {
  public:
    FolderWatch();
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Starts watching the folder (once); false when it cannot be watched.
    // Called before a file of the folder is read, so no change is missed.
    bool Watch(const std::filesystem::path& folder);

    struct Changes {
        std::vector<std::string> paths;    // files named by an event
        std::vector<std::string> folders;  // folders replaced, removed or no longer watched
        bool everything = false;           // events were lost: nothing is vouched for
        bool namesChanged = false;  // a file was created, removed or renamed (not just written)
    };
    // What changed since the last call; does not wait.
    Changes Take();

  private:
    int fd_ = -1;
    std::unordered_map<int, std::string> folders_;  // watch descriptor to folder
    std::unordered_map<std::string, int> watches_;  // folder to watch descriptor
};

}  // namespace quorvane::config
