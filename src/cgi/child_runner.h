#pragma once

#include <asio/awaitable.hpp>
#include <cstddef>
#include <string>

#include "cgi/script_launch.h"

namespace quorvane::cgi {

// A script's output beyond this is not relayed: the child is killed and the
// client gets the CGI error page, so a runaway script cannot fill memory.
inline constexpr std::size_t kOutputLimit = 16 * 1024 * 1024;

struct ChildResult {
    enum class Ending { kFinished, kStartFailed, kTimedOut, kOutputTooLarge, kKilledBySignal };
    Ending ending = Ending::kStartFailed;
    std::string output;
};

// Starts the child in its own process group with pipes for standard input
// and output, writes its input, collects its whole output and waits for it to
// end, all on the calling coroutine's event loop, so the server keeps serving
// meanwhile. A child still running at its time limit is killed with its
// whole process group.
asio::awaitable<ChildResult> RunChild(const ScriptLaunch& launch);

}  // namespace quorvane::cgi
