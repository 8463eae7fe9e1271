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

#include "config/list_file.h"
#include "config/settings_file.h"

namespace quorvane::config {

// The settings file and the list files as last read, so a request does not
// read and parse them again. A snapshot is trusted only while the file's
// identity (device, inode, size, modification time in nanoseconds) is
// unchanged and that modification time lies more than two seconds before the
// moment it was read; a file changed within those two seconds could change
// again without its time moving, so it is read afresh. An edit on disk thus
// applies to the very next request, as it would without any snapshot.
class ConfigSnapshots {
  public:
    std::shared_ptr<const Settings> SettingsFile(const std::filesystem::path& path);
    std::shared_ptr<const std::vector<Record>> Records(const std::filesystem::path& path,
                                                       size_t fields);

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
    };

    // The entry's value when it can be trusted, else nothing.
    std::shared_ptr<const void> Trusted(const std::string& key, const Identity& now, size_t fields);
    // Reads the file: its text (nothing when missing) and its identity.
    std::optional<std::string> Read(const std::filesystem::path& path, Identity& identity);
    void Store(const std::string& key, const Identity& identity, int64_t readAtNs, size_t fields,
               std::shared_ptr<const void> value);

    mutable std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
    uint64_t reads_ = 0;
};

}  // namespace quorvane::config
