#include "cgi/child_start.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/sched.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "server/limits.h"

namespace quorvane::cgi {

namespace {

std::vector<char*> Pointers(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (const std::string& text : texts) {
        pointers.push_back(const_cast<char*>(text.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

bool Kept(int fd, const int* keep, int count) {
    return std::find(keep, keep + count, fd) != keep + count;
}

struct ExecRequest {
    const ExecPlan* plan;
    int stdinFd;
    int stdoutFd;
    int errorFd;
};

bool ExecSucceeded(int errorFd) {
    int code = 0;
    ssize_t size = 0;
    do {
        size = ::read(errorFd, &code, sizeof code);
    } while (size < 0 && errno == EINTR);
    return size == 0;
}

bool CloseRange(unsigned first, unsigned last) {
    return first > last || ::syscall(SYS_close_range, first, last, 0) == 0;
}

// For kernels without close_range: the open descriptors as the kernel lists
// them (it lists by number, so closing while reading skips none).
void CloseListed(const int* keep, int count) {
    const int folder = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return;
    }
    alignas(dirent64) char buffer[4096];
    for (;;) {
        const long size = ::syscall(SYS_getdents64, folder, buffer, sizeof buffer);
        if (size <= 0) {
            break;
        }
        for (long at = 0; at < size;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            int fd = 0;
            const char* digit = entry->d_name;
            for (; *digit >= '0' && *digit <= '9'; ++digit) {
                fd = fd * 10 + (*digit - '0');
            }
            if (*digit == '\0' && digit != entry->d_name && fd >= 3 && fd != folder &&
                !Kept(fd, keep, count)) {
                ::close(fd);
            }
        }
    }
    ::close(folder);
}

// clone3 with CLONE_VM | CLONE_VFORK, as posix_spawn does it: no copy of the
// server's page tables, and the server's thread waits until the exec. The new
// process runs `entry` on its own stack, which needs these few instructions.
#if defined(__x86_64__) || defined(__aarch64__)
#define QUORVANE_SHARED_CLONE 1
extern "C" long quorvane_clone3_run(clone_args* args, std::size_t size, void (*entry)(void*),
                                    void* argument);
#if defined(__x86_64__)
asm(R"(
    .text
    .globl quorvane_clone3_run
    .hidden quorvane_clone3_run
    .type quorvane_clone3_run, @function
quorvane_clone3_run:
    endbr64
    mov %rdx, %r8
    mov %rcx, %r9
    mov $435, %eax
    syscall
    test %rax, %rax
    jz 1f
    ret
1:  xor %ebp, %ebp
    mov %r9, %rdi
    call *%r8
    mov $127, %edi
    mov $60, %eax
    syscall
    hlt
    .size quorvane_clone3_run, .-quorvane_clone3_run
)");
#else
asm(R"(
    .text
    .globl quorvane_clone3_run
    .hidden quorvane_clone3_run
    .type quorvane_clone3_run, %function
quorvane_clone3_run:
    hint #34
    mov x9, x2
    mov x10, x3
    mov x8, #435
    svc #0
    cbz x0, 1f
    ret
1:  mov x29, xzr
    mov x30, xzr
    mov x0, x10
    blr x9
    mov x0, #127
    mov x8, #93
    svc #0
    .size quorvane_clone3_run, .-quorvane_clone3_run
)");
#endif
#endif

// Runs `entry` in a new process; returns its pid, or -1.
pid_t CloneRunning(int cgroupFd, int& pidFd, void (*entry)(void*), void* argument, char* stack) {
#if defined(QUORVANE_SHARED_CLONE)
    pidFd = -1;
    clone_args args = {};
    args.flags = CLONE_VM | CLONE_VFORK | CLONE_PIDFD | (cgroupFd >= 0 ? CLONE_INTO_CGROUP : 0);
    args.pidfd = reinterpret_cast<std::uintptr_t>(&pidFd);
    args.exit_signal = SIGCHLD;
    args.stack = reinterpret_cast<std::uintptr_t>(stack);
    args.stack_size = kChildStackSize;
    args.cgroup = cgroupFd >= 0 ? static_cast<std::uint64_t>(cgroupFd) : 0;
    const long result = quorvane_clone3_run(&args, sizeof args, entry, argument);
    if (result >= 0) {
        return static_cast<pid_t>(result);
    }
    if (result != -ENOSYS) {
        errno = static_cast<int>(-result);
        return -1;
    }
#else
    static_cast<void>(stack);
#endif
    const pid_t pid = CloneProcess(cgroupFd, pidFd);
    if (pid == 0) {
        entry(argument);
    }
    return pid;
}

}  // namespace

ExecPlan::ExecPlan(const ScriptLaunch& launch)
    : argv_(Pointers(launch.argv)),
      envp_(Pointers(launch.environment)),
      workFolder_(launch.workFolder.c_str()),
      stack_(new char[kChildStackSize]) {}

pid_t ExecPlan::Spawn(int stdinFd, int stdoutFd, int cgroupFd, int& pidFd, bool& cloned) const {
    cloned = false;
    pidFd = -1;
    std::optional<Pipe> execError = MakePipe();
    if (!execError) {
        return -1;
    }
    ExecRequest request{this, stdinFd, stdoutFd, execError->write.Get()};
    pid_t pid = -1;
    {
        const SignalsBlocked blocked;
        pid = CloneRunning(cgroupFd, pidFd, &ExecPlan::ExecEntry, &request, stack_.get());
    }
    if (pid < 0) {
        return -1;
    }
    cloned = true;
    execError->write.Reset();
    if (ExecSucceeded(execError->read.Get())) {
        return pid;
    }
    ::waitpid(pid, nullptr, 0);
    if (pidFd >= 0) {
        ::close(pidFd);
        pidFd = -1;
    }
    return -1;
}

// Until its exec the new process may run on a stack that the address
// sanitizer does not know as a thread's.
[[gnu::no_sanitize_address]] void ExecPlan::ExecEntry(void* request) {
    const auto* exec = static_cast<const ExecRequest*>(request);
    exec->plan->Exec(exec->stdinFd, exec->stdoutFd, exec->errorFd);
}

[[gnu::no_sanitize_address]] void ExecPlan::Exec(int stdinFd, int stdoutFd, int errorFd) const {
    // Everything moves clear of 0..2 first, so no dup2 below overwrites a
    // descriptor that is still needed.
    const int in = ::fcntl(stdinFd, F_DUPFD_CLOEXEC, 3);
    const int out = ::fcntl(stdoutFd, F_DUPFD_CLOEXEC, 3);
    const int movedError = ::fcntl(errorFd, F_DUPFD_CLOEXEC, 3);
    const int error = movedError >= 0 ? movedError : errorFd;
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (in >= 0 && out >= 0 && null >= 0 && ::dup2(in, 0) == 0 && ::dup2(out, 1) == 1 &&
        ::dup2(null, 2) == 2 && ::setpgid(0, 0) == 0 && ::chdir(workFolder_) == 0) {
        // Handlers end with the exec anyway; ignored signals (SIGPIPE in the
        // server) would be inherited.
        struct sigaction standard = {};
        standard.sa_handler = SIG_DFL;
        for (int signal = 1; signal < NSIG; ++signal) {
            if (signal != SIGKILL && signal != SIGSTOP) {
                ::sigaction(signal, &standard, nullptr);
            }
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(argv_[0], argv_.data(), envp_.data());
    }
    const int code = errno;
    [[maybe_unused]] const ssize_t written = ::write(error, &code, sizeof code);
    ::_exit(127);
}

SignalsBlocked::SignalsBlocked() {
    sigset_t all;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &saved_);
}

SignalsBlocked::~SignalsBlocked() {
    ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

pid_t CloneProcess(int cgroupFd, int& pidFd) {
    pidFd = -1;
    clone_args args = {};
    args.flags = CLONE_PIDFD | (cgroupFd >= 0 ? CLONE_INTO_CGROUP : 0);
    args.pidfd = reinterpret_cast<std::uintptr_t>(&pidFd);
    args.exit_signal = SIGCHLD;
    args.cgroup = cgroupFd >= 0 ? static_cast<std::uint64_t>(cgroupFd) : 0;
    long pid = ::syscall(SYS_clone3, &args, sizeof args);
    if (pid < 0 && errno == ENOSYS && cgroupFd < 0) {
        // Kernels before clone3: a plain fork, with a pidfd where there are any.
        pid = ::syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
        if (pid > 0) {
            pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        }
    }
    return static_cast<pid_t>(pid);
}

std::optional<Pipe> MakePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    return Pipe{config::FileHandle(fds[0]), config::FileHandle(fds[1])};
}

void CloseAllBut(const int* keep, int count) {
    // Ascending gaps between the kept descriptors, from 3 on.
    unsigned first = 3;
    bool closed = true;
    for (;;) {
        const int* next = nullptr;
        for (const int* fd = keep; fd != keep + count; ++fd) {
            if (*fd >= static_cast<int>(first) && (next == nullptr || *fd < *next)) {
                next = fd;
            }
        }
        if (next == nullptr) {
            break;
        }
        closed = CloseRange(first, static_cast<unsigned>(*next) - 1) && closed;
        first = static_cast<unsigned>(*next) + 1;
    }
    closed = CloseRange(first, ~0U) && closed;
    if (!closed) {
        CloseListed(keep, count);
    }
}

}  // namespace quorvane::cgi
