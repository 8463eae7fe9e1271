#pragma once

#include <cstddef>
#include <string>

namespace quorvane::cgi {

// A script's output beyond this is not relayed: the child is killed and the
// client gets the CGI error page, so a runaway script cannot fill memory.
inline constexpr std::size_t kOutputLimit = 16 * 1024 * 1024;

struct ChildResult {
    enum class Ending { kFinished, kStartFailed, kTimedOut, kOutputTooLarge, kKilledBySignal };
    Ending ending = Ending::kStartFailed;
    std::string output;
};

}  // namespace quorvane::cgi
