#include "thumbnails/thumbnailer_child.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <asio/experimental/as_tuple.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>
#include <chrono>

#include "cgi/child_start.h"
#include "cgi/script_launch.h"

namespace quorvane::thumbnails {

namespace {

using namespace std::chrono_literals;

constexpr auto kNoThrow = asio::experimental::as_tuple(asio::use_awaitable);

}  // namespace

std::unique_ptr<ThumbnailerChild> ThumbnailerChild::Start(const std::filesystem::path& program,
                                                          int sourceFd, int outputFd) {
    // Nothing of the server's environment: libvips and glib read theirs.
    // One thread is all a thumbnail needs. An image that must be read out of
    // order is decoded in memory, within the child's limit, never into a
    // temporary file that a killed child would leave behind.
    const cgi::ScriptLaunch launch{
        .argv = {program.string()},
        .environment = {"PATH=/usr/bin:/bin", "VIPS_CONCURRENCY=1", "VIPS_BLOCK_UNTRUSTED=1",
                        "VIPS_DISC_THRESHOLD=4g"},
        .workFolder = "/"};
    const cgi::ExecPlan plan(launch);
    int pidFd = -1;
    bool cloned = false;
    const pid_t pid = plan.Spawn(sourceFd, outputFd, -1, pidFd, cloned);
    if (pid < 0) {
        return nullptr;
    }
    return std::make_unique<ThumbnailerChild>(pid, pidFd);
}

ThumbnailerChild::ThumbnailerChild(pid_t pid, int pidFd) : pid_(pid), pidFd_(pidFd) {}

ThumbnailerChild::~ThumbnailerChild() {
    Kill();
    Reap(true);
}

asio::awaitable<void> ThumbnailerChild::Ended() {
    auto executor = co_await asio::this_coro::executor;
    // A copy, since the stream object closes what it holds.
    const int watched = pidFd_ ? ::fcntl(pidFd_.Get(), F_DUPFD_CLOEXEC, 3) : -1;
    if (watched >= 0) {
        asio::posix::stream_descriptor watch(executor, watched);
        co_await watch.async_wait(asio::posix::stream_descriptor::wait_read, kNoThrow);
        Reap(false);
        co_return;
    }
    asio::steady_timer poll(executor);
    while (!Reap(false)) {
        poll.expires_after(10ms);
        if (auto [error] = co_await poll.async_wait(kNoThrow); error) {
            co_return;  // called off
        }
    }
}

void ThumbnailerChild::Kill() {
    if (!reaped_) {
        // The group is the child's own and cannot be another's while the
        // child is not reaped.
        ::kill(-pid_, SIGKILL);
    }
}

bool ThumbnailerChild::Reap(bool wait) {
    if (!reaped_ && ::waitpid(pid_, &status_, wait ? 0 : WNOHANG) == pid_) {
        reaped_ = true;
    }
    return reaped_;
}

bool ThumbnailerChild::Succeeded() const {
    return reaped_ && WIFEXITED(status_) && WEXITSTATUS(status_) == 0;
}

}  // namespace quorvane::thumbnails
