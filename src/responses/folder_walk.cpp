#include "responses/folder_walk.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>

#include "dav/beneath.h"

namespace quorvane::responses {

namespace {

// How many names are read between two looks at the clock.
constexpr size_t kNamesPerDeadlineCheck = 1024;

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Owns a folder stream read from its own copy of a descriptor.
class FolderStream {
  public:
    explicit FolderStream(int folder) {
        const int copy = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        stream_ = copy < 0 ? nullptr : ::fdopendir(copy);
        if (stream_ == nullptr && copy >= 0) {
            ::close(copy);
        }
    }
    ~FolderStream() {
        if (stream_ != nullptr) {
            ::closedir(stream_);
        }
    }
    FolderStream(const FolderStream&) = delete;
    FolderStream& operator=(const FolderStream&) = delete;

    explicit operator bool() const { return stream_ != nullptr; }
    const dirent* Read() { return ::readdir(stream_); }

  private:
    DIR* stream_ = nullptr;
};

}  // namespace

FolderWalk::FolderWalk(const std::filesystem::path& base, std::vector<std::string> start,
                       WalkAdmit admit, WalkLimits limits)
    : base_(dav::OpenBase(base)),
      start_(std::move(start)),
      admit_(std::move(admit)),
      limits_(std::move(limits)) {
    if (!base_) {
        return;
    }
    const config::FileHandle folder = dav::OpenBeneath(base_.Get(), start_, O_RDONLY | O_DIRECTORY);
    const std::optional<struct stat> info = folder ? dav::StatusOf(folder.Get()) : std::nullopt;
    if (!info) {
        return;
    }
    for (size_t depth = 0; depth < start_.size(); ++depth) {
        const std::vector<std::string> prefix(start_.begin(), start_.begin() + depth);
        const config::FileHandle above = dav::OpenBeneath(base_.Get(), prefix, O_PATH);
        if (const std::optional<struct stat> aboveInfo =
                above ? dav::StatusOf(above.Get()) : std::nullopt) {
            above_.push_back(*aboveInfo);
        }
    }
    opened_ = true;
    startInfo_ = *info;
    pending_ = Pending{.segments = {}, .info = *info};
}

void FolderWalk::KeepOnly(std::vector<std::string> topNames) {
    topNames_ = std::move(topNames);
    std::sort(topNames_.begin(), topNames_.end());
}

std::optional<WalkEntry> FolderWalk::Next() {
    while (!stopped_) {
        if (!pending_ && levels_.empty()) {
            Stop(false);
            break;
        }
        if (PastDeadline()) {
            Stop(true);
            break;
        }
        if (pending_) {
            const Pending folder = std::move(*pending_);
            pending_.reset();
            Enter(folder);
            continue;
        }
        Level& level = levels_.back();
        if (level.next == level.names.size()) {
            levels_.pop_back();
            if (!current_.empty()) {
                current_.pop_back();
            }
            continue;
        }
        const std::string name = std::move(level.names[level.next++]);
        std::optional<WalkEntry> entry = Examine(level, name);
        if (entry) {
            if (entry->folder) {
                pending_ = Pending{.segments = entry->segments, .info = entry->info};
            }
            return entry;
        }
    }
    return std::nullopt;
}

// The folder is opened afresh beneath the base and must be the one admitted;
// a folder swapped meanwhile is passed by, not entered.
void FolderWalk::Enter(const Pending& pending) {
    config::FileHandle folder =
        dav::OpenBeneath(base_.Get(), FromBase(pending.segments), O_RDONLY | O_DIRECTORY);
    const std::optional<struct stat> info = folder ? dav::StatusOf(folder.Get()) : std::nullopt;
    if (!info || !SameFile(*info, pending.info)) {
        return;
    }
    std::optional<std::vector<std::string>> names =
        ListNames(folder.Get(), pending.segments.empty());
    if (!names || (!names->empty() && pending.segments.size() >= limits_.deepest)) {
        Stop(true);
        return;
    }
    if (!pending.segments.empty()) {
        current_.push_back(pending.segments.back());
    }
    levels_.push_back(
        Level{.folder = std::move(folder), .info = *info, .names = std::move(*names)});
}

// The folder's shown names, sorted; nothing when listing them would pass the
// bound on names or the deadline.
std::optional<std::vector<std::string>> FolderWalk::ListNames(int folder, bool top) {
    FolderStream stream(folder);
    std::vector<std::string> names;
    if (!stream) {
        return names;  // unreadable: shown empty
    }
    size_t read = 0;
    while (const dirent* entry = stream.Read()) {
        if (++read % kNamesPerDeadlineCheck == 0 && PastDeadline()) {
            return std::nullopt;
        }
        const std::string_view name(entry->d_name);
        if (name.starts_with('.')) {
            continue;  // hidden, and "." and ".."
        }
        if (top && !topNames_.empty() &&
            !std::binary_search(topNames_.begin(), topNames_.end(), name)) {
            continue;
        }
        if (++listed_ > limits_.mostEntries) {
            return std::nullopt;
        }
        names.emplace_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<WalkEntry> FolderWalk::Examine(const Level& level, const std::string& name) const {
    std::optional<struct stat> info = dav::EntryStatus(level.folder.Get(), name);
    if (!info) {
        return std::nullopt;
    }
    std::vector<std::string> segments = current_;
    segments.push_back(name);
    if (S_ISLNK(info->st_mode)) {
        // Followed beneath the base only: one leading out never resolves.
        const config::FileHandle target = dav::OpenBeneath(base_.Get(), FromBase(segments), O_PATH);
        info = target ? dav::StatusOf(target.Get()) : std::nullopt;
        if (!info) {
            return std::nullopt;
        }
    }
    const bool folder = S_ISDIR(info->st_mode);
    if ((!folder && !S_ISREG(info->st_mode)) || (folder && IsAncestor(*info)) ||
        !admit_(segments, *info, folder)) {
        return std::nullopt;
    }
    return WalkEntry{.segments = std::move(segments), .folder = folder, .info = *info};
}

// A folder holding the one being walked, reached again through a link.
bool FolderWalk::IsAncestor(const struct stat& info) const {
    return std::any_of(levels_.begin(), levels_.end(),
                       [&](const Level& level) { return SameFile(level.info, info); }) ||
           std::any_of(above_.begin(), above_.end(),
                       [&](const struct stat& folder) { return SameFile(folder, info); });
}

std::optional<OpenFile> FolderWalk::Open(const WalkEntry& entry) const {
    if (entry.folder || !base_) {
        return std::nullopt;
    }
    // Non-blocking, so that a pipe swapped in for the file cannot hold the
    // open; the identity check below refuses it anyway.
    config::FileHandle file =
        dav::OpenBeneath(base_.Get(), FromBase(entry.segments), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    const std::optional<struct stat> info = file ? dav::StatusOf(file.Get()) : std::nullopt;
    if (!info || !S_ISREG(info->st_mode) || !SameFile(*info, entry.info)) {
        return std::nullopt;
    }
    return OpenFile{
        .file = std::move(file), .size = static_cast<uint64_t>(info->st_size), .info = *info};
}

std::vector<std::string> FolderWalk::FromBase(const std::vector<std::string>& segments) const {
    std::vector<std::string> path = start_;
    path.insert(path.end(), segments.begin(), segments.end());
    return path;
}

bool FolderWalk::PastDeadline() const {
    return limits_.deadline && std::chrono::steady_clock::now() >= *limits_.deadline;
}

void FolderWalk::Stop(bool cut) {
    cut_ = cut_ || cut;
    stopped_ = true;
    levels_.clear();
    current_.clear();
    pending_.reset();
}

}  // namespace quorvane::responses
