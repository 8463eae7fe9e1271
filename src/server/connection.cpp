#include "server/connection.h"

#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/read.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>
#include <cerrno>

#include "cgi/cgi_gateway.h"
#include "cgi/child_runner.h"
#include "config/text.h"
#include "responses/error_pages.h"
#include "server/access_log.h"
#include "server/engine_observer.h"
#include "server/limits.h"
#include "server/request.h"
#include "server/request_handler.h"

namespace quorvane::server {

namespace {

constexpr auto kNoError = asio::experimental::as_tuple(asio::use_awaitable);

}  // namespace

Connection::Connection(asio::ip::tcp::socket socket, std::string peerAddress,
                       const ConnectionServices& services)
    : socket_(std::move(socket)),
      deadline_(socket_.get_executor()),
      services_(services),
      ticket_(services.load),
      peerAddress_(std::move(peerAddress)) {}

void Connection::Start(std::shared_ptr<Connection> connection) {
    auto executor = connection->socket_.get_executor();
    // A failure inside one connection ends that connection only; it is
    // reported so it does not go unseen.
    EngineObserver& observer = connection->services_.observer;
    // The coroutine holds the connection alive until it ends.
    auto run = [connection]() { return connection->Run(); };
    asio::co_spawn(executor, std::move(run), [&observer](std::exception_ptr failure) {
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

void Connection::SetDeadline(std::chrono::steady_clock::duration fromNow) {
    deadline_.expires_after(fromNow);
    WatchDeadline();
}

void Connection::WatchDeadline() {
    deadline_.async_wait([self = shared_from_this()](std::error_code error) {
        if (error == asio::error::operation_aborted) {
            return;  // the deadline moved or the connection ended
        }
        if (self->deadline_.expiry() <= std::chrono::steady_clock::now()) {
            std::error_code ignored;
            self->socket_.close(ignored);
        }
    });
}

asio::awaitable<void> Connection::Run() {
    SetDeadline(services_.timeouts.head);
    const bool complete = co_await ReadHead();
    if (!complete) {
        // Closed or stalled before the request arrived: no reply, no record.
        services_.observer.OnLogAppended("Connection By: " + peerAddress_ + "\r\n");
        deadline_.cancel();
        co_return;
    }
    bool tooLarge = false;
    if (!co_await ReadBody(tooLarge)) {
        services_.observer.OnLogAppended("Connection By: " + peerAddress_ + "\r\n");
        deadline_.cancel();
        co_return;
    }

    const std::string_view head(received_.data(), headSize_);
    Outcome outcome = services_.handler.Handle(
        {head, peerAddress_, tooLarge, std::chrono::system_clock::now(), body_, services_.port});
    if (outcome.accessLogLine) {
        services_.accessLog.Write(*outcome.accessLogLine);
    }
    services_.observer.OnLogAppended("Connection By: " + peerAddress_ + outcome.logView);
    if (outcome.script) {
        // The script's own time limit bounds the wait; the client may be idle meanwhile.
        SetDeadline(outcome.script->timeLimit + services_.timeouts.sendIdle);
        const AsyncSlots::Lease slot = co_await services_.cgiSlots.Acquire();
        cgi::ChildResult result = co_await cgi::RunChild(*outcome.script);
        std::optional<responses::Reply> reply;
        if (result.ending == cgi::ChildResult::Ending::kFinished) {
            reply = cgi::ComposeCgiReply(std::move(result.output));
        }
        outcome.reply = reply ? std::move(*reply)
                              : responses::SendCgiErrorPage(std::chrono::system_clock::now());
    }
    co_await Send(outcome.reply, outcome.sendBody);
    outcome = Outcome{};  // the reply's memory is not kept through the linger
    co_await LingeringClose();
    deadline_.cancel();
}

asio::awaitable<bool> Connection::ReadHead() {
    received_.resize(kHeadLimit);
    std::size_t used = 0;
    while (used < kHeadLimit) {
        auto [error, count] = co_await socket_.async_read_some(
            asio::buffer(received_.data() + used, kHeadLimit - used), kNoError);
        if (error) {
            co_return false;
        }
        used += count;
        if (const auto end = FindHeadEnd(std::string_view(received_.data(), used))) {
            headSize_ = *end;
            received_.resize(used);
            co_return true;
        }
    }
    headSize_ = used;  // only the first kHeadLimit bytes are ever read
    co_return true;
}

asio::awaitable<bool> Connection::ReadBody(bool& tooLarge) {
    const std::string_view head(received_.data(), headSize_);
    if (!config::StartsWith(head, "POST")) {
        co_return true;
    }
    const std::size_t length = ContentLength(head);
    if (length > kBodyLimit) {
        tooLarge = true;
        co_return true;
    }
    body_.assign(received_, headSize_, std::min(length, received_.size() - headSize_));
    std::size_t have = body_.size();
    body_.resize(length);
    while (have < length) {
        SetDeadline(services_.timeouts.bodyIdle);
        auto [error, count] = co_await socket_.async_read_some(
            asio::buffer(body_.data() + have, length - have), kNoError);
        if (error) {
            co_return false;
        }
        have += count;
    }
    co_return true;
}

asio::awaitable<void> Connection::Send(responses::Reply& reply, bool sendBody) {
    SetDeadline(services_.timeouts.sendIdle);
    if (!reply.file || !sendBody) {
        // Head and body leave in one gathered write.
        std::array buffers{asio::buffer(reply.head),
                           asio::buffer(reply.body.data(), sendBody ? reply.body.size() : 0)};
        co_await asio::async_write(socket_, buffers, kNoError);
        co_return;
    }
    // The head goes out marked "more to come", so a small file joins it in
    // one packet; the file then goes from the page cache with sendfile.
    const int fd = socket_.native_handle();
    std::size_t headSent = 0;
    const ssize_t sent = ::send(fd, reply.head.data(), reply.head.size(), MSG_MORE | MSG_NOSIGNAL);
    if (sent > 0) {
        headSent = static_cast<std::size_t>(sent);
    }
    if (headSent < reply.head.size()) {
        auto [error, count] = co_await asio::async_write(
            socket_, asio::buffer(reply.head.data() + headSent, reply.head.size() - headSent),
            kNoError);
        if (error) {
            co_return;
        }
    }
    // The descriptor is already non-blocking: accept4 made it so.
    std::error_code error;
    off_t offset = 0;
    while (!error && static_cast<uint64_t>(offset) < reply.fileSize) {
        const std::size_t want = static_cast<std::size_t>(
            std::min<uint64_t>(reply.fileSize - static_cast<uint64_t>(offset), 1u << 30));
        const ssize_t count = ::sendfile(fd, reply.file.Get(), &offset, want);
        if (count > 0) {
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno == EAGAIN) {
            SetDeadline(services_.timeouts.sendIdle);
            std::tie(error) =
                co_await socket_.async_wait(asio::ip::tcp::socket::wait_write, kNoError);
            continue;
        }
        // The file shrank or failed under us: the promised length cannot be
        // kept, so the connection is dropped rather than padded.
        socket_.close(error);
        co_return;
    }
}

asio::awaitable<void> Connection::LingeringClose() {
    if (!socket_.is_open()) {
        co_return;
    }
    std::error_code error;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, error);
    SetDeadline(services_.timeouts.linger);
    std::array<char, 4096> discard;
    while (!error) {
        std::size_t count = 0;
        std::tie(error, count) = co_await socket_.async_read_some(asio::buffer(discard), kNoError);
    }
    socket_.close(error);
}

}  // namespace quorvane::server
