#include "server/engine.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/ip/v6_only.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>
#include <cerrno>

#include <chrono>
#include <csignal>
#include <future>

#include "config/address_text.h"
#include "responses/date_text.h"
#include "server/access_log.h"
#include "server/connection.h"
#include "server/descriptor_limit.h"
#include "server/engine_observer.h"

namespace quorvane::server {

namespace {

// The host has no IPv6 (or not this address of it).
bool LacksIpv6(const std::error_code& error) {
    return error == asio::error::address_family_not_supported ||
           error == std::errc::address_not_available || error == std::errc::protocol_not_supported;
}

// Opens, binds and listens, non-blocking: the accepts after each wake-up
// must not block.
std::error_code Listen(asio::ip::tcp::acceptor& acceptor, const asio::ip::tcp::endpoint& where) {
    std::error_code error;
    acceptor.open(where.protocol(), error);
    if (error) {
        return error;
    }
    // CGI children must not inherit a listener, or it would outlive a stop.
    ::fcntl(acceptor.native_handle(), F_SETFD, FD_CLOEXEC);
    acceptor.set_option(asio::socket_base::reuse_address(true), error);
    if (!error && where.address().is_v6()) {
        // The wildcard and IPv4-mapped addresses take IPv4 clients too; any
        // other IPv6 address only its own.
        const asio::ip::address_v6 v6 = where.address().to_v6();
        acceptor.set_option(asio::ip::v6_only(!v6.is_unspecified() && !v6.is_v4_mapped()), error);
    }
    if (!error) {
        acceptor.bind(where, error);
    }
    if (!error) {
        acceptor.listen(asio::socket_base::max_listen_connections, error);
    }
    if (!error) {
        acceptor.non_blocking(true, error);
    }
    return error;
}

// A client on loopback, or at the very address it connected to, is this
// machine itself.
bool IsThisComputer(int fd, const std::string& peer) {
    std::error_code error;
    const asio::ip::address address = asio::ip::make_address(peer, error);
    if (!error && address.is_loopback()) {
        return true;
    }
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    return ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
           config::SocketAddressText(local) == peer;
}

// Binds every address on the port (on the first one's when the port is 0),
// adding the listeners and what they are bound to.
std::error_code BindAll(asio::io_context& io, const std::vector<std::string>& addresses,
                        uint16_t& port, std::list<asio::ip::tcp::acceptor>& listeners,
                        std::vector<asio::ip::tcp::endpoint>& bound) {
    std::error_code error;
    std::error_code skipped;
    bool any = false;
    for (const std::string& text : addresses) {
        const asio::ip::address address = asio::ip::make_address(text, error);
        if (error) {
            return error;
        }
        asio::ip::tcp::acceptor& acceptor = listeners.emplace_back(io);
        error = Listen(acceptor, {address, port});
        if (error && LacksIpv6(error) && address.is_v6()) {
            acceptor.close();
            if (address.is_unspecified()) {
                error = Listen(acceptor, {asio::ip::address_v4::any(), port});
            } else {
                skipped = error;
                listeners.pop_back();
                continue;
            }
        }
        if (error) {
            return error;
        }
        bound.push_back(acceptor.local_endpoint(error));
        port = bound.back().port();
        any = true;
    }
    if (!any) {
        return skipped ? skipped : std::make_error_code(std::errc::invalid_argument);
    }
    return {};
}

// Runs the connection as its own coroutine, which holds it alive until it
// ends. A failure inside one connection ends that connection only; it is
// reported so it does not go unseen.
void StartConnection(std::shared_ptr<Connection> connection, EngineObserver& observer) {
    Connection& served = *connection;
    auto run = [connection = std::move(connection)]() { return connection->Run(); };
    asio::co_spawn(served.Executor(), std::move(run), [&observer](std::exception_ptr failure) {
        if (!failure) {
            return;
        }
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& error) {
            observer.OnLogAppended(std::string("Connection failed: ") + error.what() + "\r\n");
        }
    });
}

// True when a client waits in the listener's backlog.
bool SomeoneWaits(asio::ip::tcp::acceptor& acceptor) {
    pollfd waiting{acceptor.native_handle(), POLLIN, 0};
    return ::poll(&waiting, 1, 0) > 0 && (waiting.revents & POLLIN) != 0;
}

// Takes every waiting connection with accept4, which also yields the peer's
// address and sets close-on-exec (CGI children must not inherit client
// connections), then waits for more. At the limit, a waiting newcomer takes
// the place of a connection idle or unfinished; with every place serving,
// newcomers wait in the backlog. A client past its share is refused at once.
asio::awaitable<void> AcceptLoop(asio::ip::tcp::acceptor& acceptor, ConnectionServices services) {
    constexpr auto kNoThrow = asio::experimental::as_tuple(asio::use_awaitable);
    asio::steady_timer pause(acceptor.get_executor());
    std::error_code unknown;
    const asio::ip::tcp protocol = acceptor.local_endpoint(unknown).protocol();
    ConnectionRegistry& connections = services.connections;
    while (acceptor.is_open()) {
        if (connections.Count() >= connections.Limits().total &&
            !(SomeoneWaits(acceptor) && connections.MakeRoom())) {
            pause.expires_after(std::chrono::milliseconds(10));
            co_await pause.async_wait(kNoThrow);
            continue;
        }
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        const int fd = ::accept4(acceptor.native_handle(), reinterpret_cast<sockaddr*>(&peer),
                                 &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                co_await acceptor.async_wait(asio::ip::tcp::acceptor::wait_read, kNoThrow);
            } else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors or memory: pause instead of spinning;
                // the waiting clients stay in the backlog meanwhile.
                pause.expires_after(std::chrono::milliseconds(50));
                co_await pause.async_wait(kNoThrow);
            }
            continue;
        }
        std::string address = config::SocketAddressText(peer);
        std::string client = config::ClientGroup(address);
        if (!connections.AdmitClient(client)) {
            ::close(fd);  // its share is taken by connections being served
            continue;
        }
        asio::ip::tcp::socket socket(acceptor.get_executor());
        std::error_code assigned;
        socket.assign(protocol, fd, assigned);
        if (assigned) {
            ::close(fd);
            continue;
        }
        const bool local = IsThisComputer(fd, address);
        StartConnection(std::make_shared<Connection>(std::move(socket), std::move(address),
                                                     std::move(client), local, services),
                        services.observer);
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

Engine::Engine(RequestHandler& handler, AccessLog& accessLog, EngineObserver& observer,
               Timeouts timeouts, std::optional<ConnectionLimits> limits)
    : handler_(handler),
      accessLog_(accessLog),
      observer_(observer),
      load_(observer),
      timeouts_(timeouts),
      limits_(limits) {}

Engine::~Engine() {
    Close();
}

void Engine::StartThumbnails() {
    thumbnails_.reset();
    if (thumbnailer_.empty()) {
        return;
    }
    const std::optional<std::filesystem::path> folder =
        thumbnails::ThumbnailFolder(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
    std::optional<thumbnails::ThumbnailCache> cache =
        folder ? thumbnails::ThumbnailCache::Open(*folder) : std::nullopt;
    if (cache) {
        thumbnails_.emplace(thumbnailer_, std::move(*cache));
    }
}

bool Engine::StartListener(const Listening& listening) {
    Close();
    load_.Reset();
    io_ = std::make_unique<asio::io_context>(1);
    if (const std::error_code error = Bind(listening)) {
        // The acceptors belong to the loop's services: they go first.
        acceptors_.clear();
        endpoints_.clear();
        httpsEndpoints_.clear();
        io_.reset();
        observer_.OnLogAppended("Quorvane could not listen on port " + std::to_string(failedPort_) +
                                ": " + error.message() + "\r\n");
        observer_.OnStartFailed(error.message());
        return false;
    }
    tls_ = listening.https ? listening.https->context : nullptr;
    cgiSlots_.emplace(kMaxCgiChildren);
    StartThumbnails();
    bodies_.emplace(kBodyBudget, kBodyBudget / kClientShare);
    connections_.emplace(limits_.value_or(CurrentConnectionLimits()),
                         [](Connection& connection) { connection.Abandon(); });
    notices_ = {};
    AnnounceStart(listening);
    std::size_t index = 0;
    for (asio::ip::tcp::acceptor& acceptor : acceptors_) {
        const bool secure = index++ >= plainListeners_;
        asio::co_spawn(*io_,
                       AcceptLoop(acceptor, {.handler = handler_,
                                             .accessLog = accessLog_,
                                             .observer = observer_,
                                             .load = load_,
                                             .timeouts = timeouts_,
                                             .port = secure ? httpsPort_ : port_,
                                             .cgiSlots = *cgiSlots_,
                                             .thumbnails = thumbnails_ ? &*thumbnails_ : nullptr,
                                             .bodies = *bodies_,
                                             .connections = *connections_,
                                             .notices = notices_,
                                             .tls = secure ? tls_.get() : nullptr,
                                             .httpsPort = httpsPort_}),
                       asio::detached);
    }
    asio::co_spawn(*io_, FlushLoop(accessLog_), asio::detached);
    thread_.emplace([io = io_.get()] { io->run(); });
    return true;
}

std::error_code Engine::Bind(const Listening& listening) {
    uint16_t port = listening.port;
    std::error_code error = BindAll(*io_, listening.addresses, port, acceptors_, endpoints_);
    plainListeners_ = acceptors_.size();
    uint16_t httpsPort = 0;
    if (!error && listening.https) {
        httpsPort = listening.https->port;
        error = BindAll(*io_, listening.addresses, httpsPort, acceptors_, httpsEndpoints_);
        port = error ? httpsPort : port;
    }
    if (error) {
        failedPort_ = port;
        return error;
    }
    port_ = port;
    httpsPort_ = httpsPort;
    return {};
}

void Engine::AnnounceStart(const Listening& listening) {
    const std::string startedAt = responses::LocalDateTimeText(std::chrono::system_clock::now());
    std::string started = "Quorvane started at " + startedAt +
                          "\r\nListening on port: " + std::to_string(port_) + "\r\n";
    if (listening.https) {
        started += "Listening for HTTPS on port: " + std::to_string(httpsPort_) +
                   "\r\nHTTPS certificate SHA-256 fingerprint: " + listening.https->fingerprint +
                   "\r\n";
    }
    observer_.OnLogReplaced(started + "Quorvane Ready...\r\n\r\n");
    observer_.OnStarted(startedAt);
}

void Engine::Between(const std::function<void()>& change) {
    if (!thread_) {
        change();
        return;
    }
    std::promise<void> done;
    asio::post(*io_, [&] {
        change();
        done.set_value();
    });
    done.get_future().wait();
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
    // closes their sockets; the listeners go after them.
    thumbnails_.reset();  // its decoders are killed first
    acceptors_.clear();
    endpoints_.clear();
    httpsEndpoints_.clear();
    io_.reset();
    httpsPort_ = 0;
    accessLog_.Flush();
}

}  // namespace quorvane::server
