#pragma once

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <memory>
#include <optional>
#include <string>

#include "cgi/child_stop.h"
#include "http/request.h"
#include "server/async_slots.h"
#include "server/body_budget.h"
#include "server/connection_registry.h"
#include "server/limits.h"
#include "server/load_counter.h"
#include "server/transport.h"

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

// What the engine says once per start, whichever connection sees it first.
struct EngineNotices {
    bool passwordsInClear = false;
};

struct ConnectionServices {
    RequestHandler& handler;
    AccessLog& accessLog;
    EngineObserver& observer;
    LoadCounter& load;
    Timeouts timeouts;
    uint16_t port;         // the listening port, for CGI's SERVER_PORT
    AsyncSlots& cgiSlots;  // bounds the CGI children running at once
    BodyBudget& bodies;    // bounds the request bodies held at once
    ConnectionRegistry& connections;
    EngineNotices& notices;
    asio::ssl::context* tls = nullptr;  // set on the HTTPS port
    uint16_t httpsPort = 0;             // where plain requests may be sent on to; 0 when off
};

// One client connection, as its own coroutine on the engine's thread: makes
// the TLS handshake on the HTTPS port, reads a request head, has it
// answered, reads a body only for a script that was accepted, sends the
// reply, and goes on with the next request while the connection is kept
// (pipelined requests in order), else closes gracefully. Plain and TLS
// connections differ only in their Transport.
class Connection : public std::enable_shared_from_this<Connection> {
  public:
    // `client` is who the connection counts against (config::ClientGroup).
    Connection(asio::ip::tcp::socket socket, std::string peerAddress, std::string client,
               bool fromThisComputer, const ConnectionServices& services);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    static void Start(std::shared_ptr<Connection> connection);

    // Closes the connection without a reply (its client has gone, or room
    // is needed for a newcomer while it sits idle or unfinished).
    void Abandon();

  private:
    asio::awaitable<void> Run();
    enum class HeadRead { kComplete, kTooLarge, kClosed };
    // Reads until a whole head is buffered (it may be there already,
    // pipelined); the first waits the head deadline, later ones wait idle.
    asio::awaitable<HeadRead> ReadHead(bool first);
    enum class BodyRead { kComplete, kGone, kOverBudget };
    // Reads the POST body a script asked for, in front of its input.
    asio::awaitable<BodyRead> ReadBody(cgi::ScriptLaunch& launch, bool expectContinue,
                                       BodyBudget::Charge& charge);
    // Reads and drops a body no one needs; false when the client went away.
    asio::awaitable<bool> Discard(uint64_t length);
    // Takes up to `length` more bytes: first what is buffered, then from the
    // socket; bytes past them stay buffered for the next request.
    asio::awaitable<bool> Take(uint64_t length, std::string* into, BodyBudget::Charge* charge,
                               bool& overBudget);
    enum class QueueWait { kGranted, kGone, kTimedOut };
    // Waits for a CGI slot while the client is still there.
    asio::awaitable<QueueWait> WaitForCgiSlot(std::optional<AsyncSlots::Lease>& lease);
    // Ends the running child as soon as its client has gone.
    asio::awaitable<void> StopWhenGone(cgi::ChildStop& stop);
    asio::awaitable<void> RunScript(Outcome& outcome, bool expectContinue);
    asio::awaitable<void> Send(const responses::Reply& reply, bool sendBody,
                               std::string_view connection);
    // A slice of the file: with sendfile from the page cache on a plain
    // stream; read and written on a TLS one, after `pending` (what must go
    // before it), which it empties.
    asio::awaitable<bool> SendFileSlice(int file, uint64_t offset, uint64_t length,
                                        std::string& pending);
    // Closes once the client has stopped sending, so unread bytes cannot
    // reset the last reply; at once when everything it sent was read.
    asio::awaitable<void> LingeringClose(bool requestsDone);

    // The watchdog closes the socket when the deadline passes, which ends
    // whatever read or write is waiting.
    void SetDeadline(std::chrono::steady_clock::duration fromNow);
    void WatchDeadline();
    void SetStage(Stage stage);

    Transport transport_;
    asio::steady_timer deadline_;
    ConnectionServices services_;
    std::string peerAddress_;
    bool fromThisComputer_;     // loopback, or an address of the machine itself
    std::string localAddress_;  // the address the client reached, where it matters
    std::string received_;      // bytes read and not yet consumed, the head first
    http::RequestParser parser_{kHeadLimit};
    ConnectionRegistry::Place place_;
};

}  // namespace quorvane::server
