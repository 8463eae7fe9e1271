#include "server/engine.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>
#include <cerrno>

#include <chrono>
#include <csignal>

#include "config/address_text.h"
#include "responses/date_text.h"
#include "server/access_log.h"
#include "server/connection.h"
#include "server/engine_observer.h"

namespace quorvane::server {

namespace {

// Waits until connections are pending, then takes every one of them with
// accept4, which also yields the peer's address and sets close-on-exec (CGI
// children must not inherit client connections).
asio::awaitable<void> AcceptLoop(asio::ip::tcp::acceptor& acceptor, ConnectionServices services) {
    constexpr auto kNoThrow = asio::experimental::as_tuple(asio::use_awaitable);
    asio::steady_timer pause(acceptor.get_executor());
    for (;;) {
        // At the connection limit, an idle kept connection makes room;
        // without one, newcomers wait in the listen backlog.
        while (services.connections.Count() >= kMaxConnections) {
            const bool closed = services.connections.CloseOldestIdle();
            pause.expires_after(closed ? std::chrono::milliseconds(0)
                                       : std::chrono::milliseconds(10));
            co_await pause.async_wait(kNoThrow);
        }
        auto [error] = co_await acceptor.async_wait(asio::ip::tcp::acceptor::wait_read, kNoThrow);
        if (error == asio::error::operation_aborted || !acceptor.is_open()) {
            co_return;
        }
        while (services.connections.Count() < kMaxConnections) {
            sockaddr_storage peer{};
            socklen_t length = sizeof peer;
            const int fd = ::accept4(acceptor.native_handle(), reinterpret_cast<sockaddr*>(&peer),
                                     &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                    // Out of descriptors or memory: pause instead of spinning;
                    // the waiting clients stay in the backlog meanwhile.
                    pause.expires_after(std::chrono::milliseconds(50));
                    co_await pause.async_wait(kNoThrow);
                }
                break;  // EAGAIN: nothing more is waiting
            }
            asio::ip::tcp::socket socket(acceptor.get_executor());
            std::error_code assigned;
            socket.assign(acceptor.local_endpoint().protocol(), fd, assigned);
            if (assigned) {
                ::close(fd);
                continue;
            }
            Connection::Start(std::make_shared<Connection>(
                std::move(socket), config::SocketAddressText(peer), services));
        }
    }
}

// Access-log records are buffered; a second is the longest one waits.
asio::awaitable<void> FlushLoop(AccessLog& log) {
    asio::steady_timer tick(co_await asio::this_coro::executor);
    for (;;) {
        tick.expires_after(std::chrono::seconds(1));
        auto [error] = co_await tick.async_wait(asio::experimental::as_tuple(asio::use_awaitable));
        if (error) {
            co_return;
        }
        log.Flush();
    }
}

}  // namespace

Engine::Engine(const RequestHandler& handler, AccessLog& accessLog, EngineObserver& observer,
               Timeouts timeouts)
    : handler_(handler),
      accessLog_(accessLog),
      observer_(observer),
      load_(observer),
      timeouts_(timeouts) {
    // Writing to a CGI child that has exited must report EPIPE, not end the
    // whole server.
    std::signal(SIGPIPE, SIG_IGN);
}

Engine::~Engine() {
    Close();
}

bool Engine::StartListener(const ListenEndpoint& endpoint) {
    Close();
    load_.Reset();

    io_ = std::make_unique<asio::io_context>(1);
    acceptor_.emplace(*io_);
    asio::ip::tcp::acceptor& acceptor = *acceptor_;
    std::error_code error;
    const auto address = asio::ip::make_address(endpoint.address, error);
    const asio::ip::tcp::endpoint where(address, endpoint.port);
    if (!error) {
        acceptor.open(where.protocol(), error);
    }
    if (!error) {
        // CGI children must not inherit the listener, or it would outlive a stop.
        ::fcntl(acceptor.native_handle(), F_SETFD, FD_CLOEXEC);
        acceptor.set_option(asio::socket_base::reuse_address(true), error);
    }
    if (!error) {
        acceptor.bind(where, error);
    }
    if (!error) {
        acceptor.listen(asio::socket_base::max_listen_connections, error);
    }
    if (!error) {
        port_ = acceptor.local_endpoint(error).port();
    }
    if (error) {
        // The acceptor belongs to the loop's services: it goes first.
        acceptor_.reset();
        io_.reset();
        observer_.OnLogAppended("Quorvane could not listen on port " +
                                std::to_string(endpoint.port) + ": " + error.message() + "\r\n");
        observer_.OnStartFailed(error.message());
        return false;
    }
    cgiSlots_.emplace(kMaxCgiChildren);
    bodies_.emplace(kBodyBudget);
    connections_.emplace();
    acceptor.non_blocking(true, error);  // the accepts after each wake-up must not block

    const std::string startedAt = responses::LocalDateTimeText(std::chrono::system_clock::now());
    observer_.OnLogReplaced("Quorvane started at " + startedAt + "\r\nListening on port: " +
                            std::to_string(port_) + "\r\nQuorvane Ready...\r\n\r\n");
    observer_.OnStarted(startedAt);

    asio::co_spawn(*io_,
                   AcceptLoop(*acceptor_, {handler_, accessLog_, observer_, load_, timeouts_, port_,
                                           *cgiSlots_, *bodies_, *connections_}),
                   asio::detached);
    asio::co_spawn(*io_, FlushLoop(accessLog_), asio::detached);
    thread_.emplace([io = io_.get()] { io->run(); });
    return true;
}

void Engine::StopListener() {
    Close();
    observer_.OnLogAppended("\r\nQuorvane Halted");
    observer_.OnStopped();
    load_.Reset();
}

void Engine::Close() {
    if (!io_) {
        return;
    }
    io_->stop();
    if (thread_) {
        thread_->join();
        thread_.reset();
    }
    // Destroying the loop destroys every suspended connection with it, which
    // closes their sockets; the listener goes after them.
    acceptor_.reset();
    io_.reset();
    accessLog_.Flush();
}

}  // namespace quorvane::server
