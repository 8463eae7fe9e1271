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

std::shared_ptr<const void> ConfigSnapshots::Trusted(const std::string& key, const Identity& now,
                                                     size_t fields) {
    std::lock_guard lock(mutex_);
    const auto found = entries_.find(key);
    if (found == entries_.end() || found->second.fields != fields ||
        !(found->second.identity == now)) {
        return nullptr;
    }
    const Entry& entry = found->second;
    if (entry.identity.exists && entry.identity.modifiedNs > entry.readAtNs - kRacyWindowNs) {
        return nullptr;  // changed too recently to vouch for
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
                            size_t fields, std::shared_ptr<const void> value) {
    std::lock_guard lock(mutex_);
    entries_[key] = Entry{identity, readAtNs, fields, std::move(value)};
}

std::shared_ptr<const Settings> ConfigSnapshots::SettingsFile(const std::filesystem::path& path) {
    struct stat info {};
    const Identity now = ::stat(path.c_str(), &info) == 0 ? IdentityOf<Identity>(info) : Identity{};
    if (auto value = Trusted(path.string(), now, 0)) {
        return std::static_pointer_cast<const Settings>(value);
    }
    const int64_t readAt = RealTimeNs();
    Identity identity;
    const std::optional<std::string> text = Read(path, identity);
    auto settings = std::make_shared<const Settings>(text ? Settings::Parse(*text) : Settings{});
    Store(path.string(), identity, readAt, 0, settings);
    return settings;
}

std::shared_ptr<const std::vector<Record>> ConfigSnapshots::Records(
    const std::filesystem::path& path, size_t fields) {
    struct stat info {};
    const Identity now = ::stat(path.c_str(), &info) == 0 ? IdentityOf<Identity>(info) : Identity{};
    if (auto value = Trusted(path.string(), now, fields)) {
        return std::static_pointer_cast<const std::vector<Record>>(value);
    }
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
    Store(path.string(), identity, readAt, fields, records);
    return records;
}

uint64_t ConfigSnapshots::Reads() const {
    std::lock_guard lock(mutex_);
    return reads_;
}

}  // namespace quorvane::config
