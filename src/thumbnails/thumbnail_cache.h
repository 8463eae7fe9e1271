#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "config/file_handle.h"
#include "server/limits.h"
#include "thumbnails/thumbnail_key.h"

namespace quorvane::thumbnails {

// The user's thumbnail folder: quorvane/thumbnails under $XDG_CACHE_HOME when
// that is an absolute path, else under ~/.cache; nothing without either.
std::optional<std::filesystem::path> ThumbnailFolder(const char* xdgCacheHome, const char* home);

// A thumbnail being written, until it is kept under its key or dropped.
struct ThumbnailDraft {
    ThumbnailDraft(int folderFd, config::FileHandle draftFile, std::string draftName);
    ThumbnailDraft(ThumbnailDraft&& other) noexcept;
    ThumbnailDraft& operator=(ThumbnailDraft&&) = delete;
    ~ThumbnailDraft();

    int folder;
    config::FileHandle file;  // writable, for the decoder's output
    std::string hiddenName;   // empty for an unnamed file
};

// Thumbnails on disk, one file per source key, in a folder only the user can
// enter, with a mark for each source that could not be made into one. The
// folder is bounded: past the byte limit the least recently used files go.
// Several servers of the same user may share the folder: every file takes
// its name whole, by a link.
class ThumbnailCache {
  public:
    // Opens the folder, made (with its missing parents) mode 0700 when it is
    // not there; nothing when it cannot be made or is another user's.
    static std::optional<ThumbnailCache> Open(const std::filesystem::path& folder,
                                              std::uint64_t byteLimit = kThumbnailCacheBytes);

    // The key's thumbnail, open read-only, counted as used just now.
    std::optional<config::FileHandle> Find(const ThumbnailKey& key);
    bool Failed(const ThumbnailKey& key) const;
    void MarkFailed(const ThumbnailKey& key);

    // A new file in the folder, unnamed where the file system allows.
    std::optional<ThumbnailDraft> Draft() const;
    // Gives a finished, non-empty draft the key's name. A thumbnail of the
    // same key that another server made meanwhile stays, and counts too.
    bool Keep(ThumbnailDraft& draft, const ThumbnailKey& key);

    // When the folder holds more than the limit, removes the least recently
    // used files (and drafts abandoned for an hour) until three quarters of
    // it are left.
    void Prune();

  private:
    ThumbnailCache(config::FileHandle folder, std::uint64_t byteLimit);
    void Charge(std::uint64_t bytes);

    config::FileHandle folder_;
    std::uint64_t byteLimit_;
    std::uint64_t charged_ = 0;  // at the last look, plus what was added since
};

}  // namespace quorvane::thumbnails
