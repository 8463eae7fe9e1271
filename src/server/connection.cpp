#include "server/connection.h"

#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/awaitable_operators.hpp>
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

void Connection::Abandon() {
    std::error_code ignored;
    socket_.close(ignored);
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
    if (!co_await ReadHead()) {
        // Closed or stalled before the request arrived: no reply, no record.
        services_.observer.OnLogAppended("Connection By: " + peerAddress_ + "\r\n");
        deadline_.cancel();
        co_return;
    }
    // The request is decided from its head: a refused client never gets to
    // send its body.
    const std::string_view head(received_.data(), headSize_);
    Outcome outcome = services_.handler.Handle(
        {head, peerAddress_, std::chrono::system_clock::now(), services_.port});
    if (outcome.accessLogLine) {
        services_.accessLog.Write(*outcome.accessLogLine);
    }
    services_.observer.OnLogAppended("Connection By: " + peerAddress_ + outcome.logView);
    if (outcome.script) {
        co_await RunScript(outcome);
        if (!socket_.is_open()) {
            deadline_.cancel();
            co_return;  // the client went away: nothing is left to answer
        }
    }
    co_await Send(outcome.reply, outcome.sendBody);
    outcome = Outcome{};  // the reply's memory is not kept through the linger
    co_await LingeringClose();
    deadline_.cancel();
}

asio::awaitable<void> Connection::RunScript(Outcome& outcome) {
    cgi::ScriptLaunch& launch = *outcome.script;
    BodyBudget::Charge charge(services_.bodies);
    if (!launch.input.empty()) {
        SetDeadline(services_.timeouts.body);
        switch (co_await ReadBody(launch, charge)) {
            case BodyRead::kComplete:
                break;
            case BodyRead::kGone:
                Abandon();
                co_return;
            case BodyRead::kOverBudget:
                outcome.reply = responses::SendBusyPage(std::chrono::system_clock::now());
                outcome.script.reset();
                co_return;
        }
    }
    // Only a client that is still there holds a place among the children.
    deadline_.cancel();
    std::optional<AsyncSlots::Lease> slot;
    switch (co_await WaitForCgiSlot(slot)) {
        case QueueWait::kGranted:
            break;
        case QueueWait::kGone:
            Abandon();
            co_return;
        case QueueWait::kTimedOut:
            outcome.reply = responses::SendBusyPage(std::chrono::system_clock::now());
            outcome.script.reset();
            co_return;
    }
    // The script's own time limit bounds the wait; the client may be idle meanwhile.
    SetDeadline(launch.timeLimit + services_.timeouts.sendIdle);
    cgi::ChildResult result = co_await cgi::RunChild(launch);
    slot.reset();
    std::optional<responses::Reply> reply;
    if (result.ending == cgi::ChildResult::Ending::kFinished) {
        reply = cgi::ComposeCgiReply(std::move(result.output));
    }
    outcome.reply =
        reply ? std::move(*reply) : responses::SendCgiErrorPage(std::chrono::system_clock::now());
    outcome.script.reset();
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

asio::awaitable<Connection::BodyRead> Connection::ReadBody(cgi::ScriptLaunch& launch,
                                                           BodyBudget::Charge& charge) {
    // The body grows as it arrives, never to what the head announced.
    const std::size_t length = launch.inputLength;
    std::string body;
    const std::size_t early = std::min(length, received_.size() - headSize_);
    if (!charge.Add(early)) {
        co_return BodyRead::kOverBudget;
    }
    body.assign(received_, headSize_, early);
    std::array<char, 16 * 1024> chunk;
    while (body.size() < length) {
        const std::size_t want = std::min(chunk.size(), length - body.size());
        auto [error, count] =
            co_await socket_.async_read_some(asio::buffer(chunk.data(), want), kNoError);
        if (error) {
            co_return BodyRead::kGone;  // closed, or the body's deadline passed
        }
        if (!charge.Add(count)) {
            co_return BodyRead::kOverBudget;
        }
        body.append(chunk.data(), count);
    }
    launch.input.insert(0, body);
    co_return BodyRead::kComplete;
}

asio::awaitable<Connection::QueueWait> Connection::WaitForCgiSlot(
    std::optional<AsyncSlots::Lease>& lease) {
    using namespace asio::experimental::awaitable_operators;
    asio::steady_timer limit(socket_.get_executor(), services_.timeouts.cgiQueue);
    auto first =
        co_await (services_.cgiSlots.Acquire() || WaitUntilGone() || limit.async_wait(kNoError));
    switch (first.index()) {
        case 0:
            if (auto& granted = std::get<0>(first)) {
                lease.emplace(std::move(*granted));
                co_return QueueWait::kGranted;
            }
            co_return QueueWait::kGone;
        case 1:
            co_return QueueWait::kGone;
        default:
            co_return QueueWait::kTimedOut;
    }
}

asio::awaitable<void> Connection::WaitUntilGone() {
    for (;;) {
        auto [error] = co_await socket_.async_wait(asio::ip::tcp::socket::wait_read, kNoError);
        if (error) {
            co_return;  // the socket closed under us, or the wait was called off
        }
        char byte = 0;
        const ssize_t peeked = ::recv(socket_.native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EINTR)) {
            co_return;  // the client closed or reset its side
        }
        if (peeked > 0) {
            // More bytes wait unread, so a close would not show: the client
            // counts as present until the queue's own limit.
            asio::steady_timer never(socket_.get_executor(), asio::steady_timer::time_point::max());
            co_await never.async_wait(kNoError);
            co_return;
        }
    }
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
