#include "cgi/child_runner.h"

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>
#include <chrono>
#include <memory>
#include <optional>

#include "cgi/child_start.h"
#include "server/limits.h"

namespace quorvane::cgi {

namespace {

using namespace std::chrono_literals;
using namespace asio::experimental::awaitable_operators;

constexpr auto kNoThrow = asio::experimental::as_tuple(asio::use_awaitable);

// One running child and the descriptors that talk to it. Shared by the
// reading, writing and exit-watching coroutines and the time-limit handler;
// the last one out ends and reaps whatever is left.
struct Child {
    Child(asio::any_io_executor executor, std::unique_ptr<ConfinedChild> started, int inputFd,
          int outputFd)
        : process(std::move(started)),
          input(executor, inputFd),
          output(executor, outputFd),
          deadline(executor) {
        if (const int pidFd = process->TakePidFd(); pidFd >= 0) {
            exitWatch.emplace(executor, pidFd);
        }
    }

    // Ends the child and all it started, and stops talking to it.
    void Stop() {
        process->EndAll();
        std::error_code ignored;
        input.close(ignored);
        output.close(ignored);
    }

    std::unique_ptr<ConfinedChild> process;
    bool timedOut = false;
    bool tooLarge = false;
    asio::posix::stream_descriptor input;
    asio::posix::stream_descriptor output;
    std::optional<asio::posix::stream_descriptor> exitWatch;
    asio::steady_timer deadline;
};

asio::awaitable<void> WriteInput(std::shared_ptr<Child> child, std::string input) {
    if (!input.empty()) {
        // A child that exits without reading its input is no failure: its
        // output decides the reply.
        co_await asio::async_write(child->input, asio::buffer(input), kNoThrow);
    }
    std::error_code ignored;
    child->input.close(ignored);
}

asio::awaitable<void> ReadOutput(Child& child, std::string& output) {
    char chunk[65536];
    for (;;) {
        auto [error, count] = co_await child.output.async_read_some(asio::buffer(chunk), kNoThrow);
        if (error) {
            co_return;  // end of output, or closed by Stop
        }
        if (output.size() + count > kScriptOutputLimit) {
            child.tooLarge = true;
            child.Stop();
            co_return;
        }
        output.append(chunk, count);
    }
}

// Once the child has ended, whatever it left running goes too, which also
// ends the output that a background descendant still held open.
asio::awaitable<void> WatchExit(Child& child) {
    if (child.exitWatch) {
        co_await child.exitWatch->async_wait(asio::posix::stream_descriptor::wait_read, kNoThrow);
        child.process->Reap(true);
    } else {
        asio::steady_timer poll(child.output.get_executor());
        while (!child.process->Reap(false)) {
            poll.expires_after(10ms);
            co_await poll.async_wait(kNoThrow);
        }
    }
    child.process->EndAll();
}

}  // namespace

asio::awaitable<ChildResult> RunChild(const ScriptLaunch& launch, Confinement confinement,
                                      ChildStop* stop) {
    ChildResult result;
    std::optional<Pipe> input = MakePipe();
    std::optional<Pipe> output = MakePipe();
    if (!input || !output || launch.argv.empty()) {
        co_return result;
    }
    std::unique_ptr<ConfinedChild> process =
        ConfinedChild::Start(launch, input->read.Get(), output->write.Get(), confinement);
    if (!process) {
        co_return result;
    }
    input->read.Reset();
    output->write.Reset();

    auto executor = co_await asio::this_coro::executor;
    // The descriptors now belong to the child's stream objects.
    auto child = std::make_shared<Child>(executor, std::move(process), input->write.Release(),
                                         output->read.Release());
    child->deadline.expires_after(launch.timeLimit);
    child->deadline.async_wait([weak = std::weak_ptr<Child>(child)](std::error_code error) {
        if (auto running = weak.lock(); running && !error) {
            running->timedOut = true;
            running->Stop();
        }
    });
    if (stop != nullptr) {
        stop->Attach([weak = std::weak_ptr<Child>(child)] {
            if (auto running = weak.lock()) {
                running->Stop();
            }
        });
    }
    asio::co_spawn(executor, WriteInput(child, launch.input), asio::detached);

    co_await (ReadOutput(*child, result.output) && WatchExit(*child));
    child->deadline.cancel();
    if (stop != nullptr) {
        stop->Attach(nullptr);
    }
    std::error_code ignored;
    child->input.close(ignored);  // ends a write the child never read

    // Killed descendants take moments to go; the wait is bounded.
    asio::steady_timer pause(executor);
    for (auto wait = 1ms; !child->process->Cleared() && wait < 1s; wait *= 2) {
        pause.expires_after(wait);
        co_await pause.async_wait(kNoThrow);
    }
    if (child->timedOut) {
        result.ending = ChildResult::Ending::kTimedOut;
    } else if (child->tooLarge) {
        result.ending = ChildResult::Ending::kOutputTooLarge;
    } else {
        result.ending = child->process->Ending();
    }
    co_return result;
}

}  // namespace quorvane::cgi
