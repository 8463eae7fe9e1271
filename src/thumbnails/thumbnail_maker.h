#pragma once

#include <sys/stat.h>

#include <asio/awaitable.hpp>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>

#include "config/file_handle.h"
#include "server/limits.h"
#include "thumbnails/thumbnail_cache.h"

namespace quorvane::thumbnails {

struct MakerState;

// Makes thumbnails on the event loop's thread without blocking it: each
// decode runs in a child process of the decoder program (quorvane-thumbnailer),
// at most `workers` at once, the others waiting their turn; one past its
// time limit is killed. Thumbnails are kept in the cache, and a source that
// could not be made into one is remembered there and not tried again.
// Requests for the same source share one decode. Engine thread only; destroy
// it before its event loop.
class ThumbnailMaker {
  public:
    struct Limits {
        int workers = kThumbnailWorkers;
        std::chrono::steady_clock::duration timeLimit = kThumbnailTimeLimit;
    };

    ThumbnailMaker(std::filesystem::path thumbnailer, ThumbnailCache cache, Limits limits);
    ThumbnailMaker(std::filesystem::path thumbnailer, ThumbnailCache cache)
        : ThumbnailMaker(std::move(thumbnailer), std::move(cache), Limits{}) {}
    ThumbnailMaker(const ThumbnailMaker&) = delete;
    ThumbnailMaker& operator=(const ThumbnailMaker&) = delete;
    // Kills and reaps every decoder still running; their requests get nothing.
    ~ThumbnailMaker();

    // The thumbnail of `source`, a regular file the caller opened (after its
    // access checks) and whose status is `info`, open read-only: found in
    // the cache, or made now. Nothing when it cannot be had: not an image
    // the decoder reads, failed before, the file changed meanwhile, or the
    // request was called off (through the awaiting coroutine's cancellation
    // slot, which also kills its decoder). The decoder reads `source` from
    // its start, so its file offset moves; it must stay open until this
    // completes.
    asio::awaitable<std::optional<config::FileHandle>> Thumbnail(const config::FileHandle& source,
                                                                 const struct stat& info);

  private:
    std::shared_ptr<MakerState> state_;  // shared with the decodes under way
};

}  // namespace quorvane::thumbnails
