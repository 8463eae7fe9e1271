#pragma once

#include <sys/types.h>

#include "cgi/child_result.h"
#include "cgi/child_start.h"

namespace quorvane::cgi {

// Where no cgroup can hold a CGI child: a small process of its own, started
// by the server for one request, that makes itself the subreaper of the
// script it starts, so every orphan below it, setsid() or not, becomes its
// child. When the script has ended, or the server closes `lifelineFd`'s
// writing end (a time limit; or the server itself has ended), it kills and
// reaps every remaining descendant, then exits. Only its own descendants are
// touched: the server never becomes a subreaper, so programs it starts for
// the user (a browser) stay theirs.
// Returns the supervisor's pid (-1 on failure); `pidFd` gets a pidfd or -1.
pid_t StartSupervisor(const ExecPlan& plan, int stdinFd, int stdoutFd, int lifelineFd, int& pidFd);

// How the script ended, from the supervisor's wait status.
ChildResult::Ending SupervisedEnding(int waitStatus);

}  // namespace quorvane::cgi
