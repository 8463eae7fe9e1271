#pragma once

#include <signal.h>
#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cgi/script_launch.h"
#include "config/file_handle.h"

namespace quorvane::cgi {

// Starting processes from a server whose other threads keep running: between
// the clone and the exec only async-signal-safe calls are made, so everything
// the new process needs is prepared here beforehand. Everything below is
// async-signal-safe itself, so a process made by CloneProcess may use it.
class ExecPlan {
  public:
    // Points into `launch`, which must outlive the plan.
    explicit ExecPlan(const ScriptLaunch& launch);

    // Starts the program with the given stdin and stdout and a null stderr,
    // in its folder and its own process group with default signals, inside
    // the cgroup `cgroupFd` from its first instruction when that is not -1.
    // Returns its pid once the exec has happened; -1 when it could not start,
    // where `cloned` tells a failed exec (that process is reaped already)
    // from a refused clone. `pidFd` receives a pidfd or -1.
    pid_t Spawn(int stdinFd, int stdoutFd, int cgroupFd, int& pidFd, bool& cloned) const;

  private:
    [[noreturn]] static void ExecEntry(void* request);
    [[noreturn]] void Exec(int stdinFd, int stdoutFd, int errorFd) const;

    std::vector<char*> argv_;
    std::vector<char*> envp_;
    const char* workFolder_;
    std::unique_ptr<char[]> stack_;  // the new process's, until its exec
};

// Blocks every signal of the calling thread while it lives, so a new process
// runs no handler of the server before it has reset them.
class SignalsBlocked {
  public:
    SignalsBlocked();
    ~SignalsBlocked();
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

  private:
    sigset_t saved_;
};

// A copy of the calling process (fork semantics, no fork handlers), placed in
// the cgroup `cgroupFd` before it runs when that is not -1. Returns the pid,
// 0 in the copy, -1 on failure; `pidFd` receives a pidfd or -1.
pid_t CloneProcess(int cgroupFd, int& pidFd);

struct Pipe {
    config::FileHandle read;
    config::FileHandle write;
};
// Both ends close-on-exec.
std::optional<Pipe> MakePipe();

// Closes every descriptor from 3 up except the given ones.
void CloseAllBut(const int* keep, int count);

}  // namespace quorvane::cgi
