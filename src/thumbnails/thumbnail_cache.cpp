#include "thumbnails/thumbnail_cache.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <utility>
#include <vector>

namespace quorvane::thumbnails {

namespace {

// A file costs its bytes and, roughly, a block for its entry, so that the
// empty failure marks count too.
constexpr std::uint64_t kEntryCost = 4096;

// A used thumbnail has its time renewed at most this often, so a page full
// of them costs no writes on every view.
constexpr time_t kUseResolution = 24 * 60 * 60;

// A draft this old belongs to a server that ended while making it.
constexpr time_t kAbandonedDraftAge = 60 * 60;

constexpr char kDraftPrefix[] = ".draft-";

std::uint64_t CostOf(const struct stat& file) {
    return static_cast<std::uint64_t>(file.st_size) + kEntryCost;
}

std::string DraftName() {
    unsigned char bytes[8] = {};
    [[maybe_unused]] const ssize_t got = ::getrandom(bytes, sizeof bytes, 0);
    std::string name = kDraftPrefix;
    for (unsigned char byte : bytes) {
        name += "0123456789abcdef"[byte >> 4];
        name += "0123456789abcdef"[byte & 15];
    }
    return name;
}

bool MakeFolders(const std::filesystem::path& folder) {
    std::filesystem::path made;
    for (const std::filesystem::path& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

struct Entry {
    timespec used;
    std::string name;
    std::uint64_t cost;
};

// The regular files in the folder, with abandoned drafts removed.
std::vector<Entry> ListEntries(int folder) {
    std::vector<Entry> entries;
    DIR* listing = ::fdopendir(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (listing == nullptr) {
        return entries;
    }
    const time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        struct stat file;
        if (::fstatat(folder, name.c_str(), &file, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(file.st_mode)) {
            continue;
        }
        if (name.starts_with(kDraftPrefix) && now - file.st_mtim.tv_sec > kAbandonedDraftAge) {
            ::unlinkat(folder, name.c_str(), 0);
            continue;
        }
        entries.push_back({file.st_mtim, name, CostOf(file)});
    }
    ::closedir(listing);
    return entries;
}

bool Earlier(const Entry& a, const Entry& b) {
    return a.used.tv_sec != b.used.tv_sec ? a.used.tv_sec < b.used.tv_sec
                                          : a.used.tv_nsec < b.used.tv_nsec;
}

}  // namespace

std::optional<std::filesystem::path> ThumbnailFolder(const char* xdgCacheHome, const char* home) {
    // Relative paths in these variables are to be ignored.
    if (xdgCacheHome != nullptr && xdgCacheHome[0] == '/') {
        return std::filesystem::path(xdgCacheHome) / "quorvane" / "thumbnails";
    }
    if (home != nullptr && home[0] == '/') {
        return std::filesystem::path(home) / ".cache" / "quorvane" / "thumbnails";
    }
    return std::nullopt;
}

ThumbnailDraft::ThumbnailDraft(int folderFd, config::FileHandle draftFile, std::string draftName)
    : folder(folderFd), file(std::move(draftFile)), hiddenName(std::move(draftName)) {}

ThumbnailDraft::ThumbnailDraft(ThumbnailDraft&& other) noexcept
    : folder(other.folder),
      file(std::move(other.file)),
      hiddenName(std::exchange(other.hiddenName, std::string())) {}

ThumbnailDraft::~ThumbnailDraft() {
    if (!hiddenName.empty()) {
        ::unlinkat(folder, hiddenName.c_str(), 0);
    }
}

std::optional<ThumbnailCache> ThumbnailCache::Open(const std::filesystem::path& folder,
                                                   std::uint64_t byteLimit) {
    if (!folder.is_absolute() || !MakeFolders(folder)) {
        return std::nullopt;
    }
    config::FileHandle opened(
        ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status;
    if (!opened || ::fstat(opened.Get(), &status) != 0 || status.st_uid != ::geteuid() ||
        ((status.st_mode & 077) != 0 && ::fchmod(opened.Get(), 0700) != 0)) {
        return std::nullopt;
    }
    ThumbnailCache cache(std::move(opened), byteLimit);
    cache.Prune();
    return cache;
}

ThumbnailCache::ThumbnailCache(config::FileHandle folder, std::uint64_t byteLimit)
    : folder_(std::move(folder)), byteLimit_(byteLimit) {}

std::optional<config::FileHandle> ThumbnailCache::Find(const ThumbnailKey& key) {
    config::FileHandle file(::openat(folder_.Get(), key.FileName().c_str(),
                                     O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    struct stat status;
    if (!file || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size == 0) {
        return std::nullopt;
    }
    if (std::time(nullptr) - status.st_mtim.tv_sec > kUseResolution) {
        ::futimens(file.Get(), nullptr);  // the owner may, whatever the descriptor's mode
    }
    return file;
}

bool ThumbnailCache::Failed(const ThumbnailKey& key) const {
    struct stat status;
    return ::fstatat(folder_.Get(), key.FailureName().c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
}

void ThumbnailCache::MarkFailed(const ThumbnailKey& key) {
    const config::FileHandle mark(::openat(folder_.Get(), key.FailureName().c_str(),
                                           O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (mark) {
        Charge(kEntryCost);
    }
}

std::optional<ThumbnailDraft> ThumbnailCache::Draft() const {
    config::FileHandle unnamed(::openat(folder_.Get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (unnamed) {
        return ThumbnailDraft(folder_.Get(), std::move(unnamed), "");
    }
    std::string name = DraftName();
    config::FileHandle hidden(::openat(folder_.Get(), name.c_str(),
                                       O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!hidden) {
        return std::nullopt;
    }
    return ThumbnailDraft(folder_.Get(), std::move(hidden), std::move(name));
}

bool ThumbnailCache::Keep(ThumbnailDraft& draft, const ThumbnailKey& key) {
    struct stat made;
    if (::fstat(draft.file.Get(), &made) != 0 || made.st_size == 0) {
        return false;
    }
    const std::string name = key.FileName();
    // A link, not a rename: it never replaces a thumbnail already there, and
    // the draft's own name (if any) goes with the draft.
    const int linked =
        draft.hiddenName.empty()
            ? ::linkat(AT_FDCWD, ("/proc/self/fd/" + std::to_string(draft.file.Get())).c_str(),
                       folder_.Get(), name.c_str(), AT_SYMLINK_FOLLOW)
            : ::linkat(folder_.Get(), draft.hiddenName.c_str(), folder_.Get(), name.c_str(), 0);
    if (linked != 0) {
        return errno == EEXIST;
    }
    Charge(CostOf(made));
    return true;
}

void ThumbnailCache::Prune() {
    std::vector<Entry> entries = ListEntries(folder_.Get());
    std::uint64_t total = 0;
    for (const Entry& entry : entries) {
        total += entry.cost;
    }
    if (total > byteLimit_) {
        std::sort(entries.begin(), entries.end(), Earlier);
        const std::uint64_t target = byteLimit_ / 4 * 3;
        for (auto entry = entries.begin(); entry != entries.end() && total > target; ++entry) {
            // A young draft is still being written.
            if (!entry->name.starts_with(kDraftPrefix) &&
                ::unlinkat(folder_.Get(), entry->name.c_str(), 0) == 0) {
                total -= entry->cost;
            }
        }
    }
    charged_ = total;
}

void ThumbnailCache::Charge(std::uint64_t bytes) {
    charged_ += bytes;
    if (charged_ > byteLimit_) {
        Prune();
    }
}

}  // namespace quorvane::thumbnails
