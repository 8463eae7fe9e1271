#include "config/config_snapshots.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <system_error>
#include <type_traits>
#include <utility>

#include "config/file_handle.h"
#include "server/limits.h"

namespace quorvane::config {

namespace fs = std::filesystem;

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

// Every file a chain of links passes through after the path itself, so an
// edit of the file a link names is seen as an edit of the path.
std::vector<std::string> LinkChain(const fs::path& path) {
    std::vector<std::string> chain;
    fs::path at = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat info {};
        std::error_code error;
        if (::lstat(at.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            break;
        }
        const fs::path target = fs::read_symlink(at, error);
        if (error) {
            break;
        }
        at = (target.is_absolute() ? target : at.parent_path() / target).lexically_normal();
        chain.push_back(at.string());
    }
    return chain;
}

// Where the kernel says an open file lies.
std::optional<std::string> RealPathOf(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link, target, sizeof target);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof target || target[0] != '/') {
        return std::nullopt;
    }
    return std::string(target, static_cast<size_t>(length));
}

bool IsFolder(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string ErrorText(int error) {
    return std::system_category().message(error);
}

}  // namespace

struct ConfigSnapshots::Reading {
    enum class Outcome {
        kText,
        kMissing,     // no such file in a folder that is there
        kIncomplete,  // written moments ago and its last line not ended: perhaps half-written
        kFailed,
    } outcome = Outcome::kFailed;
    std::string text;
    std::string reason;  // why it failed
    Identity identity;
    std::vector<std::string> links;
};

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
    for (auto& [key, entry] : entries_) {
        if (changes.everything) {
            entry.stale = true;
            continue;
        }
        const auto touched = [&](const std::string& file) {
            const std::string folder = fs::path(file).parent_path().string();
            return std::find(changes.paths.begin(), changes.paths.end(), file) !=
                       changes.paths.end() ||
                   std::find(changes.folders.begin(), changes.folders.end(), folder) !=
                       changes.folders.end();
        };
        entry.stale = entry.stale || touched(key) ||
                      std::any_of(entry.links.begin(), entry.links.end(), touched);
    }
}

void ConfigSnapshots::Refresh() {
    std::lock_guard lock(mutex_);
    refreshedByCaller_ = true;
    TakeChangesLocked();
}

std::optional<ConfigSnapshots::Value> ConfigSnapshots::Trusted(const fs::path& path, size_t kind) {
    std::unique_lock lock(mutex_);
    if (!refreshedByCaller_) {
        TakeChangesLocked();
    }
    const auto found = entries_.find(path.string());
    if (found == entries_.end() || !found->second.value || found->second.value->index() != kind ||
        found->second.stale || found->second.failing) {
        return std::nullopt;
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
        return std::nullopt;  // changed, or too recently to vouch for
    }
    return entry.value;
}

namespace {

// Why a file that would not open is not simply missing: only a name absent
// from a folder that is there is a missing file; a link leading nowhere, or
// a folder moved with the file in it, is not. Nothing when it is missing.
std::optional<std::string> WhyNotOpened(const fs::path& path, int error) {
    struct stat name {};
    if (error != ENOENT) {
        return ErrorText(error);
    }
    if (!IsFolder(path.parent_path())) {
        return "its folder is not there";
    }
    if (::lstat(path.c_str(), &name) == 0) {
        return "it is a link to nothing that exists";
    }
    return std::nullopt;
}

// The whole text of an open file; nothing (with the reason) when a read
// failed.
std::optional<std::string> ReadText(int fd, size_t expected, std::string& reason) {
    std::string text(expected, '\0');
    size_t have = 0;
    for (;;) {
        if (have == text.size()) {
            text.resize(text.size() + 4096);  // the file grew meanwhile
        }
        const ssize_t got = ::read(fd, text.data() + have, text.size() - have);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            reason = ErrorText(errno);
            return std::nullopt;
        }
        if (got == 0) {
            text.resize(have);
            return text;
        }
        have += static_cast<size_t>(got);
    }
}

}  // namespace

ConfigSnapshots::Reading ConfigSnapshots::Read(const fs::path& path, int64_t readAtNs) {
    {
        std::lock_guard lock(mutex_);
        ++reads_;
    }
    Reading reading;
    reading.links = LinkChain(path);
    // Non-blocking, so a FIFO in the file's place is refused, not waited on.
    FileHandle file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (!file) {
        const std::optional<std::string> why = WhyNotOpened(path, errno);
        reading.outcome = why ? Reading::Outcome::kFailed : Reading::Outcome::kMissing;
        reading.reason = why.value_or("");
        return reading;
    }
    struct stat before {};
    if (::fstat(file.Get(), &before) != 0 || !S_ISREG(before.st_mode)) {
        reading.reason = "it is not a plain file";
        return reading;
    }
    std::optional<std::string> text =
        ReadText(file.Get(), static_cast<size_t>(before.st_size), reading.reason);
    struct stat after {};
    if (!text) {
        return reading;
    }
    if (::fstat(file.Get(), &after) != 0 ||
        !(IdentityOf<Identity>(before) == IdentityOf<Identity>(after)) ||
        text->size() != static_cast<size_t>(after.st_size)) {
        reading.reason = "it changed while it was read";
        return reading;
    }
    if (const auto real = RealPathOf(file.Get()); real && *real != path.string()) {
        reading.links.push_back(*real);
    }
    reading.identity = IdentityOf<Identity>(after);
    const bool recent = reading.identity.modifiedNs > readAtNs - kRacyWindowNs;
    reading.outcome = recent && !text->empty() && text->back() != '\n'
                          ? Reading::Outcome::kIncomplete
                          : Reading::Outcome::kText;
    reading.text = std::move(*text);
    return reading;
}

std::optional<ConfigSnapshots::Value> ConfigSnapshots::KeepAfterFailure(const std::string& key,
                                                                        size_t kind,
                                                                        const std::string& reason) {
    Entry& entry = entries_[key];  // an empty one when the file was never read
    // A reading that grants something is never trusted past a failure.
    const bool kept = entry.value && entry.value->index() == kind &&
                      kind != Value(std::shared_ptr<const ShareLinks>()).index();
    if (!kept) {
        entry = Entry{};
    }
    if (!entry.reported) {
        problems_.push_back({key, reason, kept});
        entry.reported = true;
    }
    entry.failing = true;
    return kept ? entry.value : std::nullopt;
}

std::optional<ConfigSnapshots::Value> ConfigSnapshots::Load(const fs::path& path, size_t kind,
                                                            const Parse& parse) {
    if (auto value = Trusted(path, kind)) {
        return value;
    }
    // The folders are watched before the file is read, so no change is missed.
    bool notified = WatchFolderOf(path);
    const int64_t readAt = RealTimeNs();
    Reading reading = Read(path, readAt);
    for (const std::string& link : reading.links) {
        notified = WatchFolderOf(link) && notified;
    }
    const std::string key = path.string();
    std::lock_guard lock(mutex_);
    if (reading.outcome == Reading::Outcome::kFailed) {
        return KeepAfterFailure(key, kind, reading.reason);
    }
    // Settings and lists are lines, each ended; a page need not be.
    if (reading.outcome == Reading::Outcome::kIncomplete &&
        kind != Value(std::shared_ptr<const PageText>()).index()) {
        const auto earlier = entries_.find(key);
        if (earlier != entries_.end() && earlier->second.value &&
            earlier->second.value->index() == kind) {
            earlier->second.failing = true;  // read again next time, when it may be whole
            return earlier->second.value;
        }
    }
    Value value = parse(reading.outcome == Reading::Outcome::kMissing ? nullptr : &reading.text);
    entries_[key] = Entry{.identity = reading.identity,
                          .readAtNs = readAt,
                          .value = value,
                          .links = std::move(reading.links),
                          .notified = notified};
    return value;
}

bool ConfigSnapshots::WatchFolderOf(const fs::path& path) {
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

namespace {

// How each kind is made from a file's text (nothing: the file is missing).
template <typename Kind>
std::shared_ptr<const Kind> Parsed(const std::string* text);

template <>
std::shared_ptr<const Settings> Parsed<Settings>(const std::string* text) {
    return std::make_shared<const Settings>(text ? Settings::Parse(*text) : Settings{});
}
template <>
std::shared_ptr<const Directories> Parsed<Directories>(const std::string* text) {
    return std::make_shared<const Directories>(text ? ParseDirectories(*text) : Directories{});
}
template <>
std::shared_ptr<const Users> Parsed<Users>(const std::string* text) {
    return std::make_shared<const Users>(text ? ParseUsers(*text) : Users{});
}
template <>
std::shared_ptr<const MediaTypes> Parsed<MediaTypes>(const std::string* text) {
    return std::make_shared<const MediaTypes>(text ? ParseMediaTypes(*text) : MediaTypes{});
}
template <>
std::shared_ptr<const Names> Parsed<Names>(const std::string* text) {
    return std::make_shared<const Names>(text ? ParseSingleFields(*text) : Names{});
}
template <>
std::shared_ptr<const ShareLinks> Parsed<ShareLinks>(const std::string* text) {
    return std::make_shared<const ShareLinks>(text ? ParseShareLinks(*text) : ShareLinks{});
}
template <>
std::shared_ptr<const PageText> Parsed<PageText>(const std::string* text) {
    return std::make_shared<const PageText>(text ? PageText(*text) : std::nullopt);
}

}  // namespace

template <typename Kind>
std::shared_ptr<const Kind> ConfigSnapshots::Get(const fs::path& path) {
    const size_t kind = Value(std::shared_ptr<const Kind>()).index();
    const std::optional<Value> value =
        Load(path, kind, [](const std::string* text) { return Value(Parsed<Kind>(text)); });
    if (!value) {
        if constexpr (std::is_same_v<Kind, PageText>) {
            return Parsed<PageText>(nullptr);  // a page that cannot be read is a missing one
        }
        return nullptr;
    }
    return std::get<std::shared_ptr<const Kind>>(*value);
}

template std::shared_ptr<const Settings> ConfigSnapshots::Get<Settings>(const fs::path&);
template std::shared_ptr<const Directories> ConfigSnapshots::Get<Directories>(const fs::path&);
template std::shared_ptr<const Users> ConfigSnapshots::Get<Users>(const fs::path&);
template std::shared_ptr<const MediaTypes> ConfigSnapshots::Get<MediaTypes>(const fs::path&);
template std::shared_ptr<const Names> ConfigSnapshots::Get<Names>(const fs::path&);
template std::shared_ptr<const PageText> ConfigSnapshots::Get<PageText>(const fs::path&);
template std::shared_ptr<const ShareLinks> ConfigSnapshots::Get<ShareLinks>(const fs::path&);

Configuration ConfigSnapshots::Take(const ProgramFolder& folder) {
    Configuration taken;
    taken.settings = Get<Settings>(folder.SettingsPath());
    taken.directories = Get<Directories>(folder.ListFilePath(kDirsList));
    taken.blocked = Get<Names>(folder.ListFilePath(kBlockList));
    taken.scriptsBarred = Get<Names>(folder.ListFilePath(kNoCgiList));
    taken.users = Get<Users>(folder.ListFilePath(kUsersList));
    taken.shares = Get<ShareLinks>(folder.ListFilePath(kSharesList));
    // Without default documents or types, less is found; nothing is opened.
    taken.defaultDocuments = Get<Names>(folder.ListFilePath(kDefaultList));
    taken.mediaTypes = Get<MediaTypes>(folder.ListFilePath(kMimeList));
    if (!taken.defaultDocuments) {
        taken.defaultDocuments = Parsed<Names>(nullptr);
    }
    if (!taken.mediaTypes) {
        taken.mediaTypes = Parsed<MediaTypes>(nullptr);
    }
    return taken;
}

std::vector<ReadProblem> ConfigSnapshots::TakeProblems() {
    std::lock_guard lock(mutex_);
    return std::exchange(problems_, {});
}

uint64_t ConfigSnapshots::Reads() const {
    std::lock_guard lock(mutex_);
    return reads_;
}

}  // namespace quorvane::config
