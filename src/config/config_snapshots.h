#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "config/folder_watch.h"
#include "config/list_file.h"
#include "config/program_folder.h"
#include "config/settings_file.h"

namespace quorvane::config {

// The settings file and the list files as last read, so a request does not
// read and parse them again. Change notification on their folders tells when
// one must be looked at again; where there is none, its identity (device,
// inode, size, modification time in nanoseconds) is compared on every use. A
// file whose modification time lies within two seconds of the moment it was
// read could change again without its time moving, so it is read afresh
// until it is older. An edit on disk thus applies to the very next request,
// as it would without any snapshot.
class ConfigSnapshots {
  public:
    // `notified` false looks at every file on every use, as where change
    // notification is unavailable.
    explicit ConfigSnapshots(bool notified = true);

    // Takes the changes reported since the last call. A caller that calls it
    // before each request's lookups (the request handler) saves every
    // further look at the notifications; until then, every lookup takes them.
    void Refresh();

    std::shared_ptr<const Settings> SettingsFile(const std::filesystem::path& path);
    std::shared_ptr<const std::vector<Record>> Records(const std::filesystem::path& path,
                                                       size_t fields);

    // A small file's whole text (an error page); nothing when it is missing
    // or unreadable.
    std::shared_ptr<const std::optional<std::string>> Text(const std::filesystem::path& path);

    // The program's own files as they are now; looked up again only after
    // their folder changed.
    std::shared_ptr<const OwnFiles> OwnFilesOf(const ProgramFolder& folder);

    // How many times a file was actually read; for tests and benchmarks.
    uint64_t Reads() const;

  private:
    struct Identity {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        int64_t modifiedNs = 0;
        bool operator==(const Identity&) const = default;
    };
    struct Entry {
        Identity identity;
        int64_t readAtNs = 0;
        size_t fields = 0;
        std::shared_ptr<const void> value;
        bool notified = false;  // its folder was watched when it was read
        bool stale = false;     // a change was reported since
    };

    // The entry's value when it can be trusted, else nothing.
    std::shared_ptr<const void> Trusted(const std::filesystem::path& path, size_t fields);
    // With the lock held: marks what the watch reported as changed.
    void TakeChangesLocked();
    // Watches the folder that holds the path; false without notification.
    bool WatchFolderOf(const std::filesystem::path& path);
    // Reads the file: its text (nothing when missing) and its identity.
    std::optional<std::string> Read(const std::filesystem::path& path, Identity& identity);
    void Store(const std::string& key, const Identity& identity, int64_t readAtNs, size_t fields,
               std::shared_ptr<const void> value, bool notified);

    mutable std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
    uint64_t reads_ = 0;
    std::optional<FolderWatch> watch_;
    std::shared_ptr<const OwnFiles> own_;
    std::string ownFolder_;  // where `own_` was looked up, and it was watched
    bool refreshedByCaller_ = false;
};

}  // namespace quorvane::config
