#pragma once

#include <asio/awaitable.hpp>

#include "cgi/child_result.h"
#include "cgi/child_stop.h"
#include "cgi/confined_child.h"
#include "cgi/script_launch.h"

namespace quorvane::cgi {

// Starts the child with pipes for standard input and output, writes its
// input, collects its whole output and waits for it to end, all on the
// calling coroutine's event loop, so the server keeps serving meanwhile.
// Nothing the child starts outlives the call: when the child has ended, at
// its time limit, past the output limit or when `stop` is requested,
// everything it started is killed.
asio::awaitable<ChildResult> RunChild(const ScriptLaunch& launch,
                                      Confinement confinement = Confinement::kBest,
                                      ChildStop* stop = nullptr);

}  // namespace quorvane::cgi
