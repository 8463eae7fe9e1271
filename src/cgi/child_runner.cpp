#include "cgi/child_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>
#include <memory>
#include <optional>
#include <vector>

#include "config/file_handle.h"

namespace quorvane::cgi {

namespace {

constexpr auto kNoThrow = asio::experimental::as_tuple(asio::use_awaitable);

// One running child and the descriptors that talk to it. Shared by the
// reading coroutine, the writing coroutine and the time-limit handler; the
// last one out reaps the child.
struct Child {
    Child(asio::any_io_executor executor, pid_t childPid, int inputFd, int outputFd, int pidFd)
        : pid(childPid), input(executor, inputFd), output(executor, outputFd), deadline(executor) {
        if (pidFd >= 0) {
            exitWatch.emplace(executor, pidFd);
        }
    }

    ~Child() {
        if (!reaped) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    void KillGroup() {
        ::kill(-pid, SIGKILL);
        std::error_code ignored;
        input.close(ignored);
        output.close(ignored);
        if (exitWatch) {
            exitWatch->close(ignored);
        }
    }

    bool Reap(bool wait) {
        int status = 0;
        if (!reaped && ::waitpid(pid, &status, wait ? 0 : WNOHANG) == pid) {
            reaped = true;
            killedBySignal = WIFSIGNALED(status);
        }
        return reaped;
    }

    pid_t pid;
    bool reaped = false;
    bool killedBySignal = false;
    bool timedOut = false;
    asio::posix::stream_descriptor input;
    asio::posix::stream_descriptor output;
    std::optional<asio::posix::stream_descriptor> exitWatch;
    asio::steady_timer deadline;
};

struct Pipe {
    config::FileHandle read;
    config::FileHandle write;
};

std::optional<Pipe> MakePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    return Pipe{config::FileHandle(fds[0]), config::FileHandle(fds[1])};
}

std::vector<char*> Pointers(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (const std::string& text : texts) {
        pointers.push_back(const_cast<char*>(text.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Starts the child with stdin and stdout on the pipes, stderr on /dev/null,
// in its own folder and process group, with default signal handling.
pid_t Spawn(const ScriptLaunch& launch, int stdinFd, int stdoutFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, stdinFd, 0);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, launch.workFolder.c_str());

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);

    std::vector<char*> argv = Pointers(launch.argv);
    std::vector<char*> envp = Pointers(launch.environment);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

asio::awaitable<void> WriteInput(std::shared_ptr<Child> child, std::string input) {
    if (!input.empty()) {
        // A child that exits without reading its input is no failure: its
        // output decides the reply.
        co_await asio::async_write(child->input, asio::buffer(input), kNoThrow);
    }
    std::error_code ignored;
    child->input.close(ignored);
}

asio::awaitable<void> WaitForExit(Child& child) {
    if (child.exitWatch) {
        co_await child.exitWatch->async_wait(asio::posix::stream_descriptor::wait_read, kNoThrow);
        child.Reap(!child.timedOut);
        co_return;
    }
    asio::steady_timer poll(child.output.get_executor());
    while (!child.Reap(false) && !child.timedOut) {
        poll.expires_after(std::chrono::milliseconds(10));
        co_await poll.async_wait(kNoThrow);
    }
}

}  // namespace

asio::awaitable<ChildResult> RunChild(const ScriptLaunch& launch) {
    ChildResult result;
    std::optional<Pipe> input = MakePipe();
    std::optional<Pipe> output = MakePipe();
    if (!input || !output || launch.argv.empty()) {
        co_return result;
    }
    const pid_t pid = Spawn(launch, input->read.Get(), output->write.Get());
    if (pid < 0) {
        co_return result;
    }
    input->read.Reset();
    output->write.Reset();
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));

    auto executor = co_await asio::this_coro::executor;
    auto child =
        std::make_shared<Child>(executor, pid, input->write.Get(), output->read.Get(), pidFd);
    // The descriptors now belong to the child's stream objects.
    static_cast<void>(input->write.Release());
    static_cast<void>(output->read.Release());

    child->deadline.expires_after(launch.timeLimit);
    child->deadline.async_wait([weak = std::weak_ptr<Child>(child)](std::error_code error) {
        if (auto running = weak.lock(); running && !error) {
            running->timedOut = true;
            running->KillGroup();
        }
    });
    asio::co_spawn(executor, WriteInput(child, launch.input), asio::detached);

    char chunk[65536];
    for (;;) {
        auto [error, count] = co_await child->output.async_read_some(asio::buffer(chunk), kNoThrow);
        if (error) {
            break;  // end of output, or closed by the time limit
        }
        if (result.output.size() + count > kOutputLimit) {
            child->KillGroup();
            child->Reap(true);
            child->deadline.cancel();
            result.ending = ChildResult::Ending::kOutputTooLarge;
            co_return result;
        }
        result.output.append(chunk, count);
    }
    if (!child->timedOut) {
        co_await WaitForExit(*child);
    }
    child->deadline.cancel();
    std::error_code ignored;
    child->input.close(ignored);  // ends a write the child never read
    if (child->timedOut) {
        child->Reap(true);
        result.ending = ChildResult::Ending::kTimedOut;
        co_return result;
    }
    // A child that died of a signal may have left its output half-written.
    result.ending = child->killedBySignal ? ChildResult::Ending::kKilledBySignal
                                          : ChildResult::Ending::kFinished;
    co_return result;
}

}  // namespace quorvane::cgi
