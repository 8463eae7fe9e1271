#include "cgi/script_run.h"

#include <asio/co_spawn.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/experimental/parallel_group.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>

#include "cgi/cgi_gateway.h"
#include "cgi/child_runner.h"
#include "responses/error_pages.h"

namespace quorvane::cgi {

namespace {

constexpr auto kNoError = asio::experimental::as_tuple(asio::use_awaitable);

enum class QueueWait { kGranted, kGone, kTimedOut };

// Waits for a slot while the client is still there.
asio::awaitable<QueueWait> WaitForSlot(AsyncSlots& slots, ScriptClient& client,
                                       std::chrono::steady_clock::duration timeout,
                                       std::optional<AsyncSlots::Lease>& lease) {
    using namespace asio::experimental::awaitable_operators;
    asio::steady_timer limit(co_await asio::this_coro::executor, timeout);
    auto first = co_await (slots.Acquire() || client.WaitUntilGone() || limit.async_wait(kNoError));
    if (first.index() == 0) {
        if (auto& granted = std::get<0>(first)) {
            lease.emplace(std::move(*granted));
            co_return QueueWait::kGranted;
        }
        co_return QueueWait::kGone;
    }
    co_return first.index() == 1 ? QueueWait::kGone : QueueWait::kTimedOut;
}

// Ends the child as soon as its client has gone. Only the child's end
// settles the race, so a child is never cut off half-way through its own
// bookkeeping; this side waits to be called off.
asio::awaitable<void> StopWhenGone(ScriptClient& client, ChildStop& stop) {
    if (co_await client.WaitUntilGone()) {
        stop.Request();
    }
    asio::steady_timer never(co_await asio::this_coro::executor,
                             asio::steady_timer::time_point::max());
    co_await never.async_wait(kNoError);
}

http::Response Now(http::Response (*page)(responses::Clock::time_point)) {
    return page(std::chrono::system_clock::now());
}

}  // namespace

asio::awaitable<ScriptEnd> RunScript(ScriptLaunch launch, ScriptClient& client, AsyncSlots& slots,
                                     ScriptLimits limits) {
    if (!launch.input.empty()) {
        switch (co_await client.ReadBody(launch)) {
            case ScriptClient::BodyRead::kComplete:
                break;
            case ScriptClient::BodyRead::kGone:
                co_return ScriptEnd{};
            case ScriptClient::BodyRead::kOverBudget:
                co_return ScriptEnd{Now(responses::SendBusyPage), true};
        }
    }
    // Only a client that is still there holds a place among the children.
    client.Deadline(std::nullopt);
    std::optional<AsyncSlots::Lease> slot;
    switch (co_await WaitForSlot(slots, client, limits.queue, slot)) {
        case QueueWait::kGranted:
            break;
        case QueueWait::kGone:
            co_return ScriptEnd{};
        case QueueWait::kTimedOut:
            co_return ScriptEnd{Now(responses::SendBusyPage)};
    }
    // The script's own time limit bounds the wait; the client may be idle meanwhile.
    client.Deadline(launch.timeLimit + limits.sendIdle);
    ChildStop stop;
    auto executor = co_await asio::this_coro::executor;
    auto [order, childError, result, watchError] =
        co_await asio::experimental::make_parallel_group(
            asio::co_spawn(executor, RunChild(launch, Confinement::kBest, &stop),
                           asio::experimental::deferred),
            asio::co_spawn(executor, StopWhenGone(client, stop), asio::experimental::deferred))
            .async_wait(asio::experimental::wait_for_one(), asio::use_awaitable);
    slot.reset();
    if (childError) {
        std::rethrow_exception(childError);
    }
    if (stop.Requested()) {
        co_return ScriptEnd{};
    }
    std::optional<http::Response> reply;
    if (result.ending == ChildResult::Ending::kFinished) {
        reply = ComposeCgiReply(std::move(result.output));
    }
    co_return ScriptEnd{reply ? std::move(reply) : Now(responses::SendCgiErrorPage)};
}

}  // namespace quorvane::cgi
