#include "thumbnails/thumbnail_maker.h"

#include <fcntl.h>
#include <unistd.h>

#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>
#include <map>
#include <string>

#include "cgi/async_slots.h"
#include "thumbnails/thumbnailer_child.h"

namespace quorvane::thumbnails {

namespace {

using namespace asio::experimental::awaitable_operators;

constexpr auto kNoThrow = asio::experimental::as_tuple(asio::use_awaitable);

// One decode under way, which later requests for the same key wait for.
struct Job {
    enum class Ending { kRunning, kMade, kFailed, kDropped };

    explicit Job(const asio::any_io_executor& executor)
        : done(executor, asio::steady_timer::time_point::max()) {}

    asio::steady_timer done;  // cancelled when the decode is over
    Ending ending = Ending::kRunning;
    std::unique_ptr<ThumbnailerChild> child;
};

using Ending = Job::Ending;

// Whether the awaiting coroutine was called off; checked before each nested
// coroutine, which would otherwise throw once it was.
bool CalledOff(const asio::cancellation_state& request) {
    return request.cancelled() != asio::cancellation_type::none;
}

// Whether the decoder can read `source`: a descriptor opened only for its
// path would fail any image, which must not count against the image.
bool Readable(const config::FileHandle& source) {
    const int flags = ::fcntl(source.Get(), F_GETFL);
    return flags >= 0 && (flags & O_PATH) == 0 && (flags & O_ACCMODE) != O_WRONLY;
}

// Whether `source` is still the file `info` describes.
bool Unchanged(const config::FileHandle& source, const struct stat& info) {
    struct stat now;
    return ::fstat(source.Get(), &now) == 0 && S_ISREG(now.st_mode) &&
           ThumbnailKey::Of(now) == ThumbnailKey::Of(info);
}

}  // namespace

struct MakerState {
    MakerState(std::filesystem::path program, ThumbnailCache thumbnails,
               ThumbnailMaker::Limits bounds)
        : thumbnailer(std::move(program)),
          cache(std::move(thumbnails)),
          limits(bounds),
          slots(bounds.workers) {}

    std::filesystem::path thumbnailer;
    ThumbnailCache cache;
    ThumbnailMaker::Limits limits;
    cgi::AsyncSlots slots;
    std::map<std::string, std::shared_ptr<Job>> jobs;  // by the key's file name
    bool closed = false;                               // the maker is gone
};

namespace {

// A decode registered for its key while it lasts. When it ends, however it
// ends, its child is gone and the requests waiting for it wake.
class JobEntry {
  public:
    JobEntry(MakerState& state, std::string name, const asio::any_io_executor& executor)
        : state_(state), name_(std::move(name)), job_(std::make_shared<Job>(executor)) {
        state_.jobs[name_] = job_;
    }
    JobEntry(const JobEntry&) = delete;
    JobEntry& operator=(const JobEntry&) = delete;
    ~JobEntry() {
        job_->child.reset();
        if (job_->ending == Ending::kRunning) {
            job_->ending = Ending::kDropped;
        }
        if (auto entry = state_.jobs.find(name_);
            entry != state_.jobs.end() && entry->second == job_) {
            state_.jobs.erase(entry);
        }
        job_->done.cancel();
    }

    Job& Get() { return *job_; }

  private:
    MakerState& state_;
    std::string name_;
    std::shared_ptr<Job> job_;
};

// Runs the decoder on `source` into a draft and keeps the result: the
// thumbnail under its key, or the mark of a failure.
asio::awaitable<Ending> Decode(MakerState& state, Job& job, const config::FileHandle& source,
                               const struct stat& info, const ThumbnailKey& key) {
    if (!Readable(source) || !Unchanged(source, info)) {
        co_return Ending::kDropped;
    }
    if (info.st_size > kLargestThumbnailSource) {
        state.cache.MarkFailed(key);
        co_return Ending::kFailed;
    }
    std::optional<ThumbnailDraft> draft = state.cache.Draft();
    if (!draft || ::lseek(source.Get(), 0, SEEK_SET) != 0) {
        co_return Ending::kDropped;
    }
    job.child = ThumbnailerChild::Start(state.thumbnailer, source.Get(), draft->file.Get());
    if (!job.child) {
        co_return Ending::kDropped;  // the server's trouble, not the image's
    }
    asio::steady_timer deadline(co_await asio::this_coro::executor);
    deadline.expires_after(state.limits.timeLimit);
    co_await (job.child->Ended() || deadline.async_wait(kNoThrow));
    if (state.closed || CalledOff(co_await asio::this_coro::cancellation_state)) {
        co_return Ending::kDropped;
    }
    // A child past its time limit is killed here, and has failed.
    const bool exited = job.child->Reap(false) && job.child->Succeeded();
    job.child.reset();
    struct stat made;
    const bool wrote = ::fstat(draft->file.Get(), &made) == 0 && made.st_size > 0;
    if (!Unchanged(source, info)) {
        co_return Ending::kDropped;  // changed while it was read
    }
    if (!exited || !wrote) {
        state.cache.MarkFailed(key);
        co_return Ending::kFailed;
    }
    co_return state.cache.Keep(*draft, key) ? Ending::kMade : Ending::kDropped;
}

asio::awaitable<std::optional<config::FileHandle>> Make(std::shared_ptr<MakerState> state,
                                                        const config::FileHandle& source,
                                                        const struct stat& info) {
    const ThumbnailKey key = ThumbnailKey::Of(info);
    JobEntry entry(*state, key.FileName(), co_await asio::this_coro::executor);
    std::optional<cgi::AsyncSlots::Lease> slot = co_await state->slots.Acquire();
    if (!slot || state->closed || CalledOff(co_await asio::this_coro::cancellation_state)) {
        co_return std::nullopt;
    }
    entry.Get().ending = co_await Decode(*state, entry.Get(), source, info, key);
    if (entry.Get().ending != Ending::kMade) {
        co_return std::nullopt;
    }
    co_return state->cache.Find(key);
}

}  // namespace

ThumbnailMaker::ThumbnailMaker(std::filesystem::path thumbnailer, ThumbnailCache cache,
                               Limits limits)
    : state_(std::make_shared<MakerState>(std::move(thumbnailer), std::move(cache), limits)) {}

ThumbnailMaker::~ThumbnailMaker() {
    state_->closed = true;
    for (auto& [name, job] : state_->jobs) {
        if (job->child) {
            job->child->Kill();
            job->child->Reap(true);
        }
    }
}

asio::awaitable<std::optional<config::FileHandle>> ThumbnailMaker::Thumbnail(
    const config::FileHandle& source, const struct stat& info) {
    const std::shared_ptr<MakerState> state = state_;  // in case the maker goes meanwhile
    if (!S_ISREG(info.st_mode)) {
        co_return std::nullopt;
    }
    const ThumbnailKey key = ThumbnailKey::Of(info);
    // Each round finds the thumbnail or its failure, waits for another
    // request's decode of the same file, or decodes. A decode called off
    // with its own request leaves the requests that waited for it to start
    // another.
    for (;;) {
        if (state->closed || CalledOff(co_await asio::this_coro::cancellation_state)) {
            co_return std::nullopt;
        }
        if (std::optional<config::FileHandle> found = state->cache.Find(key)) {
            co_return found;
        }
        if (state->cache.Failed(key)) {
            co_return std::nullopt;
        }
        const auto running = state->jobs.find(key.FileName());
        if (running == state->jobs.end()) {
            co_return co_await Make(state, source, info);
        }
        const std::shared_ptr<Job> job = running->second;
        co_await job->done.async_wait(kNoThrow);
        if (job->ending == Ending::kRunning) {
            co_return std::nullopt;  // this request was called off
        }
    }
}

}  // namespace quorvane::thumbnails
