#include "cgi/confined_child.h"

#include <sys/wait.h>
#include <unistd.h>

#include "cgi/child_start.h"
#include "cgi/child_supervisor.h"

namespace quorvane::cgi {

namespace {

// The script itself, born inside a fresh cgroup. Nothing when the cgroup
// cannot be had; a failed exec also gives nothing, as a failed spawn would.
std::unique_ptr<ConfinedChild> StartInCgroup(const ExecPlan& plan, int stdinFd, int stdoutFd,
                                             bool& cgroupRefused) {
    cgroupRefused = true;
    const std::optional<std::filesystem::path> parent = DelegatedCgroup();
    std::optional<ChildCgroup> cgroup = parent ? ChildCgroup::Create(*parent) : std::nullopt;
    if (!cgroup) {
        return nullptr;
    }
    int pidFd = -1;
    bool cloned = false;
    const pid_t pid = plan.Spawn(stdinFd, stdoutFd, cgroup->Fd(), pidFd, cloned);
    // A refused clone (permissions, an old kernel) leaves the supervisor.
    cgroupRefused = !cloned;
    if (pid < 0) {
        return nullptr;
    }
    return std::make_unique<ConfinedChild>(pid, pidFd, std::move(*cgroup));
}

std::unique_ptr<ConfinedChild> StartSupervised(const ExecPlan& plan, int stdinFd, int stdoutFd) {
    std::optional<Pipe> lifeline = MakePipe();
    if (!lifeline) {
        return nullptr;
    }
    int pidFd = -1;
    const pid_t pid = StartSupervisor(plan, stdinFd, stdoutFd, lifeline->read.Get(), pidFd);
    if (pid < 0) {
        return nullptr;
    }
    return std::make_unique<ConfinedChild>(pid, pidFd, std::move(lifeline->write));
}

}  // namespace

std::unique_ptr<ConfinedChild> ConfinedChild::Start(const ScriptLaunch& launch, int stdinFd,
                                                    int stdoutFd, Confinement confinement) {
    const ExecPlan plan(launch);
    if (confinement != Confinement::kSupervisor) {
        bool cgroupRefused = false;
        std::unique_ptr<ConfinedChild> child =
            StartInCgroup(plan, stdinFd, stdoutFd, cgroupRefused);
        if (child || !cgroupRefused || confinement == Confinement::kCgroup) {
            return child;
        }
    }
    return StartSupervised(plan, stdinFd, stdoutFd);
}

ConfinedChild::ConfinedChild(pid_t pid, int pidFd, ChildCgroup cgroup)
    : pid_(pid), pidFd_(pidFd), cgroup_(std::move(cgroup)) {}

ConfinedChild::ConfinedChild(pid_t pid, int pidFd, config::FileHandle lifeline)
    : pid_(pid), pidFd_(pidFd), lifeline_(std::move(lifeline)) {}

ConfinedChild::~ConfinedChild() {
    EndAll();
    Reap(true);
    // A cgroup not yet cleared is removed by its own destructor.
}

bool ConfinedChild::Reap(bool wait) {
    if (!reaped_ && ::waitpid(pid_, &status_, wait ? 0 : WNOHANG) == pid_) {
        reaped_ = true;
    }
    return reaped_;
}

void ConfinedChild::EndAll() {
    if (cgroup_) {
        cgroup_->Kill();
    }
    // The supervisor ends its script and every descendant when this closes.
    lifeline_.Reset();
}

bool ConfinedChild::Cleared() {
    // A supervisor reaps every descendant before it exits.
    return !cgroup_ || cgroup_->Remove();
}

ChildResult::Ending ConfinedChild::Ending() const {
    if (!cgroup_) {
        return SupervisedEnding(status_);
    }
    // A script that died of a signal may have left its output half-written.
    return WIFSIGNALED(status_) ? ChildResult::Ending::kKilledBySignal
                                : ChildResult::Ending::kFinished;
}

}  // namespace quorvane::cgi
