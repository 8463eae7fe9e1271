#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>

#include "cgi/child_cgroup.h"
#include "cgi/child_result.h"
#include "cgi/script_launch.h"
#include "config/file_handle.h"

namespace quorvane::cgi {

// How a CGI child is kept from outliving its request.
enum class Confinement {
    kBest,        // a cgroup where the session delegates one, else a supervisor
    kCgroup,      // a cgroup, or no start at all
    kSupervisor,  // a supervising subreaper process
};

// A started CGI child together with the means to end everything it starts,
// whatever it forks and however it detaches.
class ConfinedChild {
  public:
    // Starts the launch with the given stdin and stdout; nothing when it
    // cannot start (under a supervisor a failed exec shows in Ending()).
    static std::unique_ptr<ConfinedChild> Start(const ScriptLaunch& launch, int stdinFd,
                                                int stdoutFd, Confinement confinement);

    ConfinedChild(pid_t pid, int pidFd, ChildCgroup cgroup);
    ConfinedChild(pid_t pid, int pidFd, config::FileHandle lifeline);
    ConfinedChild(const ConfinedChild&) = delete;
    ConfinedChild& operator=(const ConfinedChild&) = delete;
    // Ends everything that still runs and reaps the child.
    ~ConfinedChild();

    // Becomes readable when the watched process has ended; -1 when the
    // kernel has no pidfds. The caller owns it.
    int TakePidFd() { return pidFd_.Release(); }
    // Reaps the watched process once it has ended; true when it is reaped.
    bool Reap(bool wait);
    // Kills the child and every descendant still running.
    void EndAll();
    // True once nothing of the child is left; after Reap and EndAll.
    bool Cleared();
    // How the script ended; after Reap.
    ChildResult::Ending Ending() const;

  private:
    pid_t pid_;  // the watched process: the script in a cgroup, else its supervisor
    config::FileHandle pidFd_;
    std::optional<ChildCgroup> cgroup_;
    config::FileHandle lifeline_;  // the supervisor's
    bool reaped_ = false;
    int status_ = 0;
};

}  // namespace quorvane::cgi
