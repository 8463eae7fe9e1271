#include "config/config_snapshots.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "config/file_handle.h"

namespace quorvane::config {

namespace {

constexpr int64_t kRacyWindowNs = 2'000'000'000;

int64_t RealTimeNs() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

template <typename Identity>
Identity IdentityOf(const struct stat& info) {
    Identity identity;
    identity.exists = true;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.size = info.st_size;
    identity.modifiedNs =
        static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    return identity;
}

}  // namespace

ConfigSnapshots::ConfigSnapshots(bool notified) {
    if (notified) {
        watch_.emplace();
    }
}

void ConfigSnapshots::TakeChangesLocked() {
    if (!watch_) {
        return;
    }
    const FolderWatch::Changes changes = watch_->Take();
    if (changes.namesChanged) {
        own_.reset();  // which file a name is changed; mere writes (the access log) leave it
    }
    if (changes.everything) {
        for (auto& [key, entry] : entries_) {
            entry.stale = true;
        }
        return;
    }
    for (const std::string& path : changes.paths) {
        if (const auto found = entries_.find(path); found != entries_.end()) {
            found->second.stale = true;
        }
    }
    for (const std::string& folder : changes.folders) {
        for (auto& [key, entry] : entries_) {
            if (std::filesystem::path(key).parent_path() == folder) {
                entry.stale = true;
            }
        }
    }
}

void ConfigSnapshots::Refresh() {
    std::lock_guard lock(mutex_);
    refreshedByCaller_ = true;
    TakeChangesLocked();
}

std::shared_ptr<const void> ConfigSnapshots::Trusted(const std::filesystem::path& path,
                                                     size_t fields) {
    std::unique_lock lock(mutex_);
    if (!refreshedByCaller_) {
        TakeChangesLocked();
    }
    const auto found = entries_.find(path.string());
    if (found == entries_.end() || found->second.fields != fields || found->second.stale) {
        return nullptr;
    }
    const Entry entry = found->second;
    const bool recent =
        entry.identity.exists && entry.identity.modifiedNs > entry.readAtNs - kRacyWindowNs;
    if (entry.notified && !recent) {
        return entry.value;  // nothing was reported: no need to look
    }
    lock.unlock();
    struct stat info {};
    const Identity now = ::stat(path.c_str(), &info) == 0 ? IdentityOf<Identity>(info) : Identity{};
    if (!(entry.identity == now) || recent) {
        return nullptr;  // changed, or too recently to vouch for
    }
    return entry.value;
}

std::optional<std::string> ConfigSnapshots::Read(const std::filesystem::path& path,
                                                 Identity& identity) {
    {
        std::lock_guard lock(mutex_);
        ++reads_;
    }
    identity = Identity{};
    FileHandle file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat info {};
    if (!file || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;  // missing or unreadable counts as missing
    }
    std::string text(static_cast<size_t>(info.st_size), '\0');
    size_t have = 0;
    for (;;) {
        if (have == text.size()) {
            text.resize(text.size() + 4096);  // the file grew meanwhile
        }
        const ssize_t got = ::read(file.Get(), text.data() + have, text.size() - have);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        have += static_cast<size_t>(got);
    }
    text.resize(have);
    identity = IdentityOf<Identity>(info);
    return text;
}

void ConfigSnapshots::Store(const std::string& key, const Identity& identity, int64_t readAtNs,
                            size_t fields, std::shared_ptr<const void> value, bool notified) {
    std::lock_guard lock(mutex_);
    entries_[key] = Entry{identity, readAtNs, fields, std::move(value), notified, false};
}

bool ConfigSnapshots::WatchFolderOf(const std::filesystem::path& path) {
    std::lock_guard lock(mutex_);
    return watch_ && watch_->Watch(path.parent_path());
}

std::shared_ptr<const OwnFiles> ConfigSnapshots::OwnFilesOf(const ProgramFolder& folder) {
    {
        std::lock_guard lock(mutex_);
        if (!refreshedByCaller_) {
            TakeChangesLocked();
        }
        if (own_ && ownFolder_ == folder.Path().string()) {
            return own_;
        }
    }
    const bool notified = WatchFolderOf(folder.SettingsPath());
    auto own = std::make_shared<const OwnFiles>(folder);
    std::lock_guard lock(mutex_);
    if (notified) {
        own_ = own;
        ownFolder_ = folder.Path().string();
    }
    return own;
}

std::shared_ptr<const Settings> ConfigSnapshots::SettingsFile(const std::filesystem::path& path) {
    if (auto value = Trusted(path, 0)) {
        return std::static_pointer_cast<const Settings>(value);
    }
    // The folder is watched before the file is read, so no change is missed.
    const bool notified = WatchFolderOf(path);
    const int64_t readAt = RealTimeNs();
    Identity identity;
    const std::optional<std::string> text = Read(path, identity);
    auto settings = std::make_shared<const Settings>(text ? Settings::Parse(*text) : Settings{});
    Store(path.string(), identity, readAt, 0, settings, notified);
    return settings;
}

std::shared_ptr<const std::vector<Record>> ConfigSnapshots::Records(
    const std::filesystem::path& path, size_t fields) {
    if (auto value = Trusted(path, fields)) {
        return std::static_pointer_cast<const std::vector<Record>>(value);
    }
    const bool notified = WatchFolderOf(path);
    const int64_t readAt = RealTimeNs();
    Identity identity;
    const std::optional<std::string> text = Read(path, identity);
    auto records = std::make_shared<std::vector<Record>>();
    if (text) {
        ListFileReader reader(*text);
        while (!reader.AtEnd()) {
            records->push_back(reader.NextRecord(fields));
        }
    }
    Store(path.string(), identity, readAt, fields, records, notified);
    return records;
}

std::shared_ptr<const std::optional<std::string>> ConfigSnapshots::Text(
    const std::filesystem::path& path) {
    constexpr size_t kWholeText = SIZE_MAX;  // tells a text from a list of records
    if (auto value = Trusted(path, kWholeText)) {
        return std::static_pointer_cast<const std::optional<std::string>>(value);
    }
    const bool notified = WatchFolderOf(path);
    const int64_t readAt = RealTimeNs();
    Identity identity;
    auto text = std::make_shared<const std::optional<std::string>>(Read(path, identity));
    Store(path.string(), identity, readAt, kWholeText, text, notified);
    return text;
}

uint64_t ConfigSnapshots::Reads() const {
    std::lock_guard lock(mutex_);
    return reads_;
}

}  // namespace quorvane::config
