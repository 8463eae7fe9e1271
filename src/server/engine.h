#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <asio/ssl/context.hpp>

#include "server/body_budget.h"
#include "server/connection.h"
#include "server/connection_registry.h"
#include "server/limits.h"
#include "server/load_counter.h"
#include "thumbnails/thumbnail_maker.h"

namespace quorvane::server {

class AccessLog;
class EngineObserver;
class RequestHandler;

// HTTPS beside plain HTTP: its port and what it presents.
struct HttpsListening {
    uint16_t port = 443;
    std::shared_ptr<asio::ssl::context> context;
    std::string fingerprint;  // of the certificate, for the log view
};

// Where to listen. Every address is bound on the same port (the first
// one's, when the port is 0), and on the HTTPS port too when it is on. "::"
// listens dual-stack, so IPv4 clients come in on it too; where the host has
// no IPv6 it becomes "0.0.0.0", and another IPv6 address the host lacks is
// left out as long as some address is bound.
struct Listening {
    std::vector<std::string> addresses = {"0.0.0.0"};
    uint16_t port = 80;
    std::optional<HttpsListening> https;
};

// The listener: an Asio event loop on its own thread, accepting connections
// and running each as its own coroutine. Start and Stop are called from the
// control side. The process must ignore SIGPIPE (each main does), so writing
// to a CGI child that has exited reports EPIPE instead of ending the server.
class Engine {
  public:
    // Without `limits`, the connections are bounded by the descriptor limit
    // in force at each start.
    Engine(RequestHandler& handler, AccessLog& accessLog, EngineObserver& observer,
           Timeouts timeouts = {}, std::optional<ConnectionLimits> limits = std::nullopt);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Starts listening (stopping an earlier listener first). A listener that
    // cannot be created or bound is reported to the observer and leaves the
    // engine stopped; the result says which happened.
    bool StartListener(const Listening& listening);

    // Closes the listener and every open connection.
    void StopListener();

    // Runs `change` (edits of the settings and lists) on the engine's thread
    // between two requests, so that every request sees all of it or none of
    // it; at once when nothing listens. Never called from that thread.
    void Between(const std::function<void()>& change);

    // Ends the listener and every connection without a word to the observer;
    // the program is ending.
    void Close();

    // Thumbnails are made by this decoder program from the next start on,
    // kept in the user's cache folder; none while it is empty.
    void UseThumbnailer(std::filesystem::path program) { thumbnailer_ = std::move(program); }

    bool IsListening() const { return thread_.has_value(); }
    uint16_t Port() const { return port_; }
    // The port that a failed start could not listen on.
    uint16_t FailedPort() const { return failedPort_; }
    uint16_t HttpsPort() const { return httpsPort_; }  // 0 without HTTPS
    // What the running listener is bound to, in the order bound.
    const std::vector<asio::ip::tcp::endpoint>& Endpoints() const { return endpoints_; }
    const std::vector<asio::ip::tcp::endpoint>& HttpsEndpoints() const { return httpsEndpoints_; }
    int LoadCount() const { return load_.Count(); }  // requests in progress
    // Connections open now, kept ones between their requests included.
    int OpenConnections() const { return connections_ ? connections_->Count() : 0; }

  private:
    // Binds every listener; the port that could not be bound goes to
    // failedPort_.
    std::error_code Bind(const Listening& listening);
    void AnnounceStart(const Listening& listening);
    // A thumbnail maker over the user's cache folder, where both are at hand.
    void StartThumbnails();

    RequestHandler& handler_;
    AccessLog& accessLog_;
    EngineObserver& observer_;
    LoadCounter load_;
    Timeouts timeouts_;
    std::optional<ConnectionLimits> limits_;
    std::optional<cgi::AsyncSlots> cgiSlots_;
    std::optional<BodyBudget> bodies_;
    std::optional<ConnectionRegistry> connections_;
    std::unique_ptr<asio::io_context> io_;
    std::filesystem::path thumbnailer_;
    std::optional<thumbnails::ThumbnailMaker> thumbnails_;  // goes before its loop
    std::list<asio::ip::tcp::acceptor> acceptors_;
    std::optional<std::thread> thread_;
    std::vector<asio::ip::tcp::endpoint> endpoints_;
    std::vector<asio::ip::tcp::endpoint> httpsEndpoints_;
    std::shared_ptr<asio::ssl::context> tls_;
    EngineNotices notices_;
    uint16_t port_ = 0;
    uint16_t httpsPort_ = 0;
    uint16_t failedPort_ = 0;
    std::size_t plainListeners_ = 0;  // the first acceptors; those after them are HTTPS
};

}  // namespace quorvane::server
