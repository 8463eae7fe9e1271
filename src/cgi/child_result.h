#pragma once

#include <cstddef>
#include <string>

namespace quorvane::cgi {

struct ChildResult {
    enum class Ending { kFinished, kStartFailed, kTimedOut, kOutputTooLarge, kKilledBySignal };
    Ending ending = Ending::kStartFailed;
    std::string output;
};

}  // namespace quorvane::cgi
