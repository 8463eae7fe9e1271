#pragma once

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <memory>
#include <optional>
#include <string>

#include "cgi/async_slots.h"
#include "cgi/script_run.h"
#include "http/request.h"
#include "server/body_budget.h"
#include "server/client_stream.h"
#include "server/connection_registry.h"
#include "server/limits.h"
#include "server/load_counter.h"
#include "server/transport.h"

namespace quorvane::thumbnails {
class ThumbnailMaker;
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
    uint16_t port;                           // the listening port, for CGI's SERVER_PORT
    cgi::AsyncSlots& cgiSlots;               // bounds the CGI children running at once
    thumbnails::ThumbnailMaker* thumbnails;  // none without a cache folder
    BodyBudget& bodies;                      // bounds the request bodies held at once
    ConnectionRegistry& connections;
    EngineNotices& notices;
    asio::ssl::context* tls = nullptr;  // set on the HTTPS port
    uint16_t httpsPort = 0;             // where plain requests may be sent on to; 0 when off
};

// One client connection, as its own coroutine on the engine's thread: read a
// head, have it handled, write the reply, and go on with the next request
// while the connection is kept (pipelined requests in order), else close
// gracefully. A script's request is run by cgi::RunScript, to which the
// connection lends its body reading and its knowing when the client left.
// Plain and TLS connections differ only in their Transport.
class Connection : public std::enable_shared_from_this<Connection>, private cgi::ScriptClient {
  public:
    // `client` is who the connection counts against (config::ClientGroup).
    Connection(asio::ip::tcp::socket socket, std::string peerAddress, std::string client,
               bool fromThisComputer, const ConnectionServices& services);
    ~Connection() override;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Serves the client to the end; the connection must be owned by a
    // shared_ptr that the coroutine holds meanwhile.
    asio::awaitable<void> Run();

    asio::any_io_executor Executor() { return deadline_.get_executor(); }

    // Closes the connection without a reply (its client has gone, or room
    // is needed for a newcomer while it sits idle or unfinished).
    void Abandon();

  private:
    enum class HeadRead { kComplete, kTooLarge, kClosed };
    // Reads until a whole head is buffered (it may be there already,
    // pipelined); the first waits the head deadline, later ones wait idle.
    asio::awaitable<HeadRead> ReadHead(bool first);
    // Handles one whole request; false when the connection cannot go on.
    // `everythingRead` says whether the request's body was all taken.
    asio::awaitable<bool> Serve(const http::Request& request, bool last, bool& everythingRead);
    Outcome Decide(const http::Request& request);
    // Asks a client that waits to be asked for its body; false when it went away.
    asio::awaitable<bool> OfferContinue(bool asked, uint64_t length);
    // Reads the body the outcome asks for, and puts the reply in the
    // outcome; false when the client went away meanwhile.
    asio::awaitable<bool> TakeBody(const http::Request& request, Outcome& outcome);
    asio::awaitable<bool> Upload(const http::Request& request, Outcome& outcome);
    static void RefuseBody(ClientStream::BodyEnd end, Outcome& outcome);
    // Makes (or finds) the outcome's thumbnail and puts its reply in the
    // outcome.
    asio::awaitable<void> MakeThumbnail(Outcome& outcome);
    // Runs the outcome's script and puts its reply in the outcome; false
    // when the client went away meanwhile.
    asio::awaitable<bool> RunScriptOf(const http::Request& request, Outcome& outcome);
    // Renders and sends the reply; false when it could not be sent whole.
    asio::awaitable<bool> Reply(const http::Request& request, const http::Response& response,
                                bool keep);
    void Report(const Outcome& outcome);

    // cgi::ScriptClient
    asio::awaitable<BodyRead> ReadBody(cgi::ScriptLaunch& launch) override;
    asio::awaitable<bool> WaitUntilGone() override;
    void Deadline(std::optional<std::chrono::steady_clock::duration> fromNow) override;

    // The watchdog closes the socket when the deadline passes, which ends
    // whatever read or write is waiting.
    void SetDeadline(std::chrono::steady_clock::duration fromNow);
    void SetStage(Stage stage);

    Transport transport_;
    asio::steady_timer deadline_;
    ConnectionServices services_;
    std::string peerAddress_;
    bool fromThisComputer_;     // loopback, or an address of the machine itself
    std::string localAddress_;  // the address the client reached, where it matters
    ClientStream stream_{transport_};
    bool expectContinue_ = false;  // the request being served waits to be asked for its body
    std::optional<BodyBudget::Charge> bodyCharge_;  // what the body being held costs
    bool noDelay_ = false;
    ConnectionRegistry::Place place_;
};

}  // namespace quorvane::server
