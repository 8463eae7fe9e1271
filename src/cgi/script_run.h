#pragma once

#include <asio/awaitable.hpp>
#include <chrono>
#include <optional>

#include "cgi/async_slots.h"
#include "cgi/script_launch.h"
#include "http/response.h"

namespace quorvane::cgi {

// What a running script needs from the connection whose request it answers.
class ScriptClient {
  public:
    virtual ~ScriptClient() = default;

    enum class BodyRead { kComplete, kGone, kOverBudget };
    // Reads the request body the launch asks for into its input.
    virtual asio::awaitable<BodyRead> ReadBody(ScriptLaunch& launch) = 0;
    // Completes true once the client has gone; false when called off.
    virtual asio::awaitable<bool> WaitUntilGone() = 0;
    // How long the client may now stay silent (none: no limit while it waits).
    virtual void Deadline(std::optional<std::chrono::steady_clock::duration> fromNow) = 0;
};

// How a script's request ended: its reply (the script's, or the server's page
// for what went wrong), or nothing when the client went away meanwhile.
struct ScriptEnd {
    std::optional<http::Response> reply;
    bool endsConnection = false;  // the body could not be held: nothing more is read
};

struct ScriptLimits {
    std::chrono::steady_clock::duration queue;     // a wait for a free slot
    std::chrono::steady_clock::duration sendIdle;  // beyond the script's own time
};

// Reads the body, waits for a slot while the client stays, runs the child,
// ends it (and everything it started) as soon as the client leaves, and
// composes the reply from its output.
asio::awaitable<ScriptEnd> RunScript(ScriptLaunch launch, ScriptClient& client, AsyncSlots& slots,
                                     ScriptLimits limits);

}  // namespace quorvane::cgi
