#include "cgi/child_supervisor.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

// Everything the supervisor runs after the clone is async-signal-safe: the
// server's other threads may have held any lock at that moment.
namespace quorvane::cgi {

namespace {

// The supervisor's exit codes.
constexpr int kScriptExited = 0;
constexpr int kScriptKilled = 1;
constexpr int kScriptNotStarted = 2;
constexpr int kStopped = 3;

pid_t ParsePid(const char* text, const char* end) {
    pid_t pid = 0;
    for (; text != end && *text >= '0' && *text <= '9'; ++text) {
        pid = pid * 10 + (*text - '0');
    }
    return text == end ? pid : 0;
}

// Without /proc/thread-self/children (a kernel built without it): every
// process whose parent this one is, from /proc/<pid>/stat ("pid (name) S ppid").
void KillChildrenFoundInProc() {
    const int proc = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0) {
        return;
    }
    const pid_t self = ::getpid();
    alignas(dirent64) char entries[4096];
    long size = 0;
    while ((size = ::syscall(SYS_getdents64, proc, entries, sizeof entries)) > 0) {
        for (long at = 0; at < size;) {
            const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
            at += entry->d_reclen;
            const char* name = entry->d_name;
            const char* nameEnd = name;
            while (*nameEnd != '\0') {
                ++nameEnd;
            }
            const pid_t pid = ParsePid(name, nameEnd);
            char stat[512];
            const int fd = pid > 0 ? ::openat(proc, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
            const int statFd = fd >= 0 ? ::openat(fd, "stat", O_RDONLY | O_CLOEXEC) : -1;
            const ssize_t length = statFd >= 0 ? ::read(statFd, stat, sizeof stat) : -1;
            if (statFd >= 0) {
                ::close(statFd);
            }
            if (fd >= 0) {
                ::close(fd);
            }
            const char* nameClose = nullptr;
            for (ssize_t i = 0; i < length; ++i) {
                nameClose = stat[i] == ')' ? stat + i : nameClose;
            }
            // ") S 1234 ..."
            if (nameClose != nullptr && nameClose + 4 < stat + length) {
                const char* ppid = nameClose + 4;
                const char* ppidEnd = ppid;
                while (ppidEnd < stat + length && *ppidEnd != ' ') {
                    ++ppidEnd;
                }
                if (ParsePid(ppid, ppidEnd) == self) {
                    ::kill(pid, SIGKILL);
                }
            }
        }
    }
    ::close(proc);
}

void KillChildren() {
    const int list = ::open("/proc/thread-self/children", O_RDONLY | O_CLOEXEC);
    if (list < 0) {
        KillChildrenFoundInProc();
        return;
    }
    char buffer[1024];
    pid_t pid = 0;
    for (;;) {
        const ssize_t size = ::read(list, buffer, sizeof buffer);
        if (size < 0 && errno == EINTR) {
            continue;
        }
        if (size <= 0) {
            break;
        }
        for (ssize_t i = 0; i < size; ++i) {
            if (buffer[i] >= '0' && buffer[i] <= '9') {
                pid = pid * 10 + (buffer[i] - '0');
            } else if (pid > 0) {
                ::kill(pid, SIGKILL);
                pid = 0;
            }
        }
    }
    if (pid > 0) {
        ::kill(pid, SIGKILL);
    }
    ::close(list);
}

// Orphans of an ending process are handed to this subreaper before that
// process can be reaped, so once no child is left, no descendant is.
void EndDescendants() {
    for (;;) {
        KillChildren();
        if (::waitpid(-1, nullptr, __WALL) < 0 && errno != EINTR) {
            return;  // ECHILD
        }
    }
}

int AwaitScript(pid_t script, int exits, int lifeline) {
    pollfd watched[2] = {{exits, POLLIN, 0}, {lifeline, POLLIN, 0}};
    for (;;) {
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return kStopped;
        }
        if (watched[1].revents != 0) {
            return kStopped;
        }
        signalfd_siginfo info;
        [[maybe_unused]] const ssize_t size = ::read(exits, &info, sizeof info);
        int status = 0;
        pid_t ended = 0;
        while ((ended = ::waitpid(-1, &status, WNOHANG | __WALL)) > 0) {
            if (ended == script) {
                return WIFSIGNALED(status) ? kScriptKilled : kScriptExited;
            }
        }
    }
}

[[noreturn]] void Supervise(const ExecPlan& plan, int stdinFd, int stdoutFd, int lifelineFd) {
    // Nothing of the server stays open here: not its sockets, not the pipes
    // and lifelines of other requests.
    const int keep[] = {stdinFd, stdoutFd, lifelineFd};
    CloseAllBut(keep, 3);
    // Every signal stays blocked; child exits arrive through a signalfd, and
    // an ignored SIGCHLD would reap children behind this process's back.
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    ::sigaction(SIGCHLD, &standard, nullptr);
    sigset_t childExits;
    sigemptyset(&childExits);
    sigaddset(&childExits, SIGCHLD);
    const int exits = ::signalfd(-1, &childExits, SFD_CLOEXEC);
    if (exits < 0 || ::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) {
        ::_exit(kScriptNotStarted);
    }
    int scriptPidFd = -1;
    bool cloned = false;
    const pid_t script = plan.Spawn(stdinFd, stdoutFd, -1, scriptPidFd, cloned);
    if (scriptPidFd >= 0) {
        ::close(scriptPidFd);
    }
    // The script's output ends when it and its descendants close it, not
    // when this process does.
    ::close(stdinFd);
    ::close(stdoutFd);
    const int outcome = script > 0 ? AwaitScript(script, exits, lifelineFd) : kScriptNotStarted;
    EndDescendants();
    ::_exit(outcome);
}

}  // namespace

pid_t StartSupervisor(const ExecPlan& plan, int stdinFd, int stdoutFd, int lifelineFd, int& pidFd) {
    const SignalsBlocked blocked;
    const pid_t pid = CloneProcess(-1, pidFd);
    if (pid == 0) {
        Supervise(plan, stdinFd, stdoutFd, lifelineFd);
    }
    return pid;
}

ChildResult::Ending SupervisedEnding(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        switch (WEXITSTATUS(waitStatus)) {
            case kScriptExited:
                return ChildResult::Ending::kFinished;
            case kScriptNotStarted:
                return ChildResult::Ending::kStartFailed;
            default:
                break;
        }
    }
    return ChildResult::Ending::kKilledBySignal;
}

}  // namespace quorvane::cgi
