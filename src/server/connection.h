#pragma once

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <memory>
#include <optional>
#include <string>

#include "server/async_slots.h"
#include "server/body_budget.h"
#include "server/limits.h"
#include "server/load_counter.h"

namespace quorvane::responses {
struct Reply;
}
namespace quorvane::cgi {
struct ScriptLaunch;
}

namespace quorvane::server {

class AccessLog;
class EngineObserver;
class RequestHandler;
struct Outcome;

struct ConnectionServices {
    const RequestHandler& handler;
    AccessLog& accessLog;
    EngineObserver& observer;
    LoadCounter& load;
    Timeouts timeouts;
    uint16_t port;         // the listening port, for CGI's SERVER_PORT
    AsyncSlots& cgiSlots;  // bounds the CGI children running at once
    BodyBudget& bodies;    // bounds the request bodies held at once
};

// One client connection: reads one request head, has it answered, reads a
// body only for a script that was accepted, sends the reply whole, then
// closes gracefully. Every connection runs as its own coroutine
// on the engine's thread, so a reply always goes to the socket its request
// came from.
class Connection : public std::enable_shared_from_this<Connection> {
  public:
    Connection(asio::ip::tcp::socket socket, std::string peerAddress,
               const ConnectionServices& services);

    static void Start(std::shared_ptr<Connection> connection);

  private:
    asio::awaitable<void> Run();
    // Reads until the head's empty line or kHeadLimit bytes; false when the
    // client closed or stalled first.
    asio::awaitable<bool> ReadHead();
    enum class BodyRead { kComplete, kGone, kOverBudget };
    // Reads the POST body a script asked for, in front of its input.
    asio::awaitable<BodyRead> ReadBody(cgi::ScriptLaunch& launch, BodyBudget::Charge& charge);
    enum class QueueWait { kGranted, kGone, kTimedOut };
    // Waits for a CGI slot while the client is still there.
    asio::awaitable<QueueWait> WaitForCgiSlot(std::optional<AsyncSlots::Lease>& lease);
    // Completes when the client has closed its side (or the socket was closed).
    asio::awaitable<void> WaitUntilGone();
    asio::awaitable<void> RunScript(Outcome& outcome);
    asio::awaitable<void> Send(responses::Reply& reply, bool sendBody);
    asio::awaitable<void> LingeringClose();

    // Closes the connection without a reply: its client has gone.
    void Abandon();

    // The watchdog closes the socket when the deadline passes, which ends
    // whatever read or write is waiting.
    void SetDeadline(std::chrono::steady_clock::duration fromNow);
    void WatchDeadline();

    asio::ip::tcp::socket socket_;
    asio::steady_timer deadline_;
    ConnectionServices services_;
    LoadTicket ticket_;
    std::string peerAddress_;
    std::string received_;
    std::size_t headSize_ = 0;
};

}  // namespace quorvane::server
