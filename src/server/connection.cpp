#include "server/connection.h"

#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>
#include <cerrno>

#include "cgi/cgi_gateway.h"
#include "cgi/child_runner.h"
#include "config/address_text.h"
#include "http/http_date.h"
#include "responses/error_pages.h"
#include "server/access_log.h"
#include "server/engine_observer.h"
#include "server/limits.h"
#include "server/request_handler.h"

namespace quorvane::server {

namespace {

constexpr auto kNoError = asio::experimental::as_tuple(asio::use_awaitable);

constexpr std::string_view kPasswordsInClearNotice =
    "Passwords cross the network unencrypted: a secure folder was asked for over plain HTTP "
    "from another computer. Turn on HTTPS (the HTTPS port, [Server] HttpsPort, on the Home "
    "Directory tab of the options) and send visitors to it.\r\n";

std::string LocalAddressOf(asio::ip::tcp::socket& socket) {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    return ::getsockname(socket.native_handle(), reinterpret_cast<sockaddr*>(&local), &length) == 0
               ? config::SocketAddressText(local)
               : std::string();
}

std::string ReadProblemNotice(const config::ReadProblem& problem) {
    return problem.file.filename().string() + " cannot be read (" + problem.reason +
           (problem.earlierCopyKept
                ? "); the copy read before stays in use until it can be read again.\r\n"
                : "); requests are refused until it can be read.\r\n");
}

// What the Connection line says: nothing for a kept HTTP/1.1 connection,
// which is kept by default.
std::string_view ConnectionWord(bool keep, bool http10) {
    if (!keep) {
        return "close";
    }
    return http10 ? "keep-alive" : "";
}

}  // namespace

Connection::Connection(asio::ip::tcp::socket socket, std::string peerAddress, std::string client,
                       bool fromThisComputer, const ConnectionServices& services)
    : transport_(std::move(socket), services.tls),
      deadline_(transport_.Socket().get_executor()),
      services_(services),
      peerAddress_(std::move(peerAddress)),
      fromThisComputer_(fromThisComputer),
      place_(services_.connections.Opened(this, std::move(client))) {}

Connection::~Connection() {
    transport_.Close();  // the descriptor is gone before the count says so
    services_.connections.Closed(place_);
}

void Connection::Start(std::shared_ptr<Connection> connection) {
    auto executor = connection->transport_.Socket().get_executor();
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
    SetStage(Stage::kServing);  // never chosen to make room again
    transport_.Close();
}

void Connection::SetStage(Stage stage) {
    services_.connections.SetStage(place_, stage);
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
            self->transport_.Close();
        }
    });
}

asio::awaitable<void> Connection::Run() {
    uint64_t unread = 0;
    bool noDelay = false;
    // The handshake and the first head share the head's deadline.
    SetDeadline(services_.timeouts.head);
    if (!co_await transport_.Handshake()) {
        // Plain HTTP, garbage, or a client that stalled: no reply, no record.
        services_.observer.OnLogAppended("Connection By: " + peerAddress_ + "\r\n");
        transport_.Close();
        deadline_.cancel();
        co_return;
    }
    if (services_.httpsPort != 0 && !transport_.Secure()) {
        localAddress_ = LocalAddressOf(transport_.Socket());  // for a move to HTTPS
    }
    for (int served = 0; served < kMaxRequestsPerConnection; ++served) {
        const HeadRead head = co_await ReadHead(served == 0);
        if (head == HeadRead::kClosed) {
            if (served == 0) {
                // Closed or stalled before a request arrived: no reply, no record.
                services_.observer.OnLogAppended("Connection By: " + peerAddress_ + "\r\n");
            }
            break;
        }
        bool keep = false;
        {
            const LoadTicket inProgress(services_.load);
            // The request is decided from its head: a refused client never
            // gets to send its body.
            const http::Request request =
                http::ParseHead(std::string_view(received_.data(), parser_.HeadSize()),
                                head != HeadRead::kTooLarge);
            received_.erase(0, parser_.HeadSize());
            parser_.Restart();
            Outcome outcome = services_.handler.Handle(request,
                                                       {.address = peerAddress_,
                                                        .secure = transport_.Secure(),
                                                        .fromThisComputer = fromThisComputer_,
                                                        .serverPort = services_.port,
                                                        .httpsPort = services_.httpsPort,
                                                        .localAddress = localAddress_},
                                                       std::chrono::system_clock::now());
            if (outcome.accessLogLine) {
                services_.accessLog.Write(*outcome.accessLogLine);
            }
            services_.observer.OnLogAppended("Connection By: " + peerAddress_ + outcome.logView);
            for (const config::ReadProblem& problem : outcome.readProblems) {
                services_.observer.OnLogAppended(ReadProblemNotice(problem));
            }
            if (outcome.signInsHeld) {
                services_.observer.OnLogAppended(
                    std::to_string(outcome.signInsHeld->failures) + " wrong passwords from " +
                    outcome.signInsHeld->client + ": its sign-ins are refused for " +
                    std::to_string(outcome.signInsHeld->wait.count()) + " s.\r\n");
            }
            if (outcome.passwordsInClear && !services_.notices.passwordsInClear) {
                services_.notices.passwordsInClear = true;
                services_.observer.OnLogAppended(kPasswordsInClearNotice);
            }
            unread = outcome.endsConnection ? 0 : request.body.length;
            if (outcome.script) {
                if (outcome.script->inputLength > 0 || !outcome.script->input.empty()) {
                    unread = 0;  // the script takes the body
                }
                co_await RunScript(outcome, request.expectContinue);
                if (!transport_.IsOpen()) {
                    deadline_.cancel();
                    co_return;  // the client went away: nothing is left to answer
                }
            }
            // A body left unread is skipped when small; a client waiting to
            // be asked for its body is not asked, so the connection ends.
            keep = request.keepAlive && !outcome.endsConnection && !outcome.reply.raw &&
                   served + 1 < kMaxRequestsPerConnection &&
                   (unread == 0 || (unread <= kDiscardLimit && !request.expectContinue));
            if (keep && !noDelay) {
                // Replies already leave whole (gathered, joined for TLS, or
                // the head corked before sendfile); on a kept connection
                // Nagle would only hold a reply's last piece back behind the
                // client's delayed ACK. A connection that closes is flushed
                // by its close, so it is spared the call.
                std::error_code ignored;
                transport_.Socket().set_option(asio::ip::tcp::no_delay(true), ignored);
                noDelay = true;
            }
            // No answer to HEAD carries a body, refusals of a malformed one included.
            co_await Send(outcome.reply, request.method != http::Method::kHead,
                          ConnectionWord(keep, request.http10));
        }
        if (!keep || !transport_.IsOpen()) {
            break;
        }
        if (unread > 0) {
            if (!co_await Discard(unread)) {
                break;
            }
            unread = 0;
        }
    }
    co_await LingeringClose(unread == 0 && received_.empty());
    deadline_.cancel();
}

asio::awaitable<Connection::HeadRead> Connection::ReadHead(bool first) {
    if (!first) {
        SetDeadline(services_.timeouts.keepAlive);
    }
    bool started = !received_.empty();
    for (;;) {
        const http::RequestParser::Found found = parser_.Look(received_);
        if (found != http::RequestParser::Found::kNothingYet) {
            SetStage(Stage::kServing);
            co_return found == http::RequestParser::Found::kHead ? HeadRead::kComplete
                                                                 : HeadRead::kTooLarge;
        }
        if (!started && !first) {
            if (received_.capacity() > 4096) {
                std::string().swap(received_);  // an idle connection holds no big buffer
            }
            SetStage(Stage::kIdle);  // may be closed to make room while it waits
        }
        const std::size_t used = received_.size();
        received_.resize(std::min(kHeadLimit, used + 4096));
        auto [error, count] = co_await transport_.ReadSome(
            asio::buffer(received_.data() + used, received_.size() - used));
        received_.resize(used + (error ? 0 : count));
        if (error) {
            co_return HeadRead::kClosed;
        }
        if (!started) {
            started = true;
            SetStage(Stage::kUnfinished);  // a head has begun
            if (!first) {
                SetDeadline(services_.timeouts.head);
            }
        }
    }
}

asio::awaitable<bool> Connection::Take(uint64_t length, std::string* into,
                                       BodyBudget::Charge* charge, bool& overBudget) {
    // What is buffered comes first; the body grows as it arrives, never to
    // what the head announced.
    const std::size_t early =
        static_cast<std::size_t>(std::min<uint64_t>(length, received_.size()));
    if (charge != nullptr && !charge->Add(early)) {
        overBudget = true;
        co_return false;
    }
    if (into != nullptr) {
        into->append(received_, 0, early);
    }
    received_.erase(0, early);
    uint64_t left = length - early;
    std::array<char, 16 * 1024> chunk;
    while (left > 0) {
        auto [error, count] = co_await transport_.ReadSome(asio::buffer(chunk));
        if (error) {
            co_return false;  // closed, or the body's deadline passed
        }
        const std::size_t mine = static_cast<std::size_t>(std::min<uint64_t>(left, count));
        if (charge != nullptr && !charge->Add(mine)) {
            overBudget = true;
            co_return false;
        }
        if (into != nullptr) {
            into->append(chunk.data(), mine);
        }
        received_.append(chunk.data() + mine, count - mine);  // the next request's start
        left -= mine;
    }
    co_return true;
}

asio::awaitable<Connection::BodyRead> Connection::ReadBody(cgi::ScriptLaunch& launch,
                                                           bool expectContinue,
                                                           BodyBudget::Charge& charge) {
    const uint64_t length = launch.inputLength;
    if (expectContinue && received_.size() < length) {
        static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
        if (co_await transport_.Write(asio::buffer(kContinue))) {
            co_return BodyRead::kGone;
        }
    }
    std::string body;
    bool overBudget = false;
    if (!co_await Take(length, &body, &charge, overBudget)) {
        co_return overBudget ? BodyRead::kOverBudget : BodyRead::kGone;
    }
    launch.input.insert(0, body);
    co_return BodyRead::kComplete;
}

asio::awaitable<bool> Connection::Discard(uint64_t length) {
    SetDeadline(services_.timeouts.discard);
    bool overBudget = false;
    co_return co_await Take(length, nullptr, nullptr, overBudget);
}

asio::awaitable<void> Connection::RunScript(Outcome& outcome, bool expectContinue) {
    cgi::ScriptLaunch& launch = *outcome.script;
    BodyBudget::Charge charge(services_.bodies, place_->client);
    if (!launch.input.empty()) {
        SetDeadline(services_.timeouts.body);
        switch (co_await ReadBody(launch, expectContinue, charge)) {
            case BodyRead::kComplete:
                break;
            case BodyRead::kGone:
                Abandon();
                co_return;
            case BodyRead::kOverBudget:
                outcome.reply = responses::SendBusyPage(std::chrono::system_clock::now());
                outcome.endsConnection = true;
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
    // A child whose client has gone is ended rather than left to run its
    // course. Whichever side ends first calls the other off; the watch only
    // ends when called off, so the child's own end is always awaited.
    cgi::ChildStop stop;
    auto executor = deadline_.get_executor();
    auto [order, childError, result, watchError] =
        co_await asio::experimental::make_parallel_group(
            asio::co_spawn(executor, cgi::RunChild(launch, cgi::Confinement::kBest, &stop),
                           asio::experimental::deferred),
            asio::co_spawn(executor, StopWhenGone(stop), asio::experimental::deferred))
            .async_wait(asio::experimental::wait_for_one(), asio::use_awaitable);
    slot.reset();
    if (childError) {
        std::rethrow_exception(childError);
    }
    if (stop.Requested()) {
        Abandon();
        co_return;
    }
    std::optional<responses::Reply> reply;
    if (result.ending == cgi::ChildResult::Ending::kFinished) {
        reply = cgi::ComposeCgiReply(std::move(result.output));
    }
    outcome.reply =
        reply ? std::move(*reply) : responses::SendCgiErrorPage(std::chrono::system_clock::now());
    outcome.script.reset();
}

asio::awaitable<Connection::QueueWait> Connection::WaitForCgiSlot(
    std::optional<AsyncSlots::Lease>& lease) {
    using namespace asio::experimental::awaitable_operators;
    asio::steady_timer limit(transport_.Socket().get_executor(), services_.timeouts.cgiQueue);
    auto first =
        co_await (services_.cgiSlots.Acquire() || transport_.WaitUntilGone(received_, kHeadLimit) ||
                  limit.async_wait(kNoError));
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

asio::awaitable<void> Connection::StopWhenGone(cgi::ChildStop& stop) {
    if (co_await transport_.WaitUntilGone(received_, kHeadLimit)) {
        stop.Request();
    }
    // Only the child's end settles the race, so a child is never cut off
    // half-way through its own bookkeeping; this side waits to be called off.
    asio::steady_timer never(deadline_.get_executor(), asio::steady_timer::time_point::max());
    co_await never.async_wait(kNoError);
}

asio::awaitable<void> Connection::Send(const responses::Reply& reply, bool sendBody,
                                       std::string_view connection) {
    SetDeadline(services_.timeouts.sendIdle);
    if (reply.raw) {
        // A program's own whole message goes out as it wrote it; to HEAD,
        // only its head.
        std::string_view message = reply.BodyInMemory();
        if (!sendBody) {
            const std::optional<size_t> end = http::FindHeadEnd(message);
            message = message.substr(0, end.value_or(message.size()));
        }
        co_await transport_.Write(asio::buffer(message));
        co_return;
    }
    std::string head = responses::RenderHead(
        reply,
        http::HttpDateText(
            std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now())),
        connection);
    sendBody = sendBody && reply.StatusAllowsBody();
    if (!reply.file || !sendBody) {
        // Head and body leave in one gathered write.
        const std::string_view body = reply.BodyInMemory();
        const std::array buffers{asio::const_buffer(asio::buffer(head)),
                                 asio::const_buffer(body.data(), sendBody ? body.size() : 0)};
        co_await transport_.Write(buffers);
        co_return;
    }
    std::string pending = std::move(head);  // what goes out before the file's next bytes
    if (!transport_.Secure()) {
        // The head goes out marked "more to come", so a small file joins it
        // in one packet.
        const ssize_t sent = ::send(transport_.Socket().native_handle(), pending.data(),
                                    pending.size(), MSG_MORE | MSG_NOSIGNAL);
        pending.erase(0, sent > 0 ? static_cast<std::size_t>(sent) : 0);
    }
    if (reply.parts.empty()) {
        if (co_await SendFileSlice(reply.file.Get(), reply.fileOffset, reply.fileLength, pending) &&
            !pending.empty()) {
            co_await transport_.Write(asio::buffer(pending));
        }
        co_return;
    }
    for (const http::BodyPart& part : reply.parts) {
        pending += part.head;
        if (!co_await SendFileSlice(reply.file.Get(), part.slice.first, part.slice.Length(),
                                    pending)) {
            co_return;
        }
    }
    pending += reply.closing;
    co_await transport_.Write(asio::buffer(pending));
}

asio::awaitable<bool> Connection::SendFileSlice(int file, uint64_t start, uint64_t length,
                                                std::string& pending) {
    uint64_t offset = start;
    const uint64_t end = start + length;
    if (transport_.Secure()) {
        // No sendfile through TLS: the file is read and written in pieces,
        // the first after what is pending.
        std::vector<char> chunk(std::min<uint64_t>(length, 64 * 1024));
        while (offset < end) {
            const ssize_t count =
                ::pread(file, chunk.data(), std::min<uint64_t>(chunk.size(), end - offset),
                        static_cast<off_t>(offset));
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count <= 0) {
                break;  // the file shrank or failed under us
            }
            const std::array pieces{asio::const_buffer(asio::buffer(pending)),
                                    asio::const_buffer(chunk.data(), static_cast<size_t>(count))};
            SetDeadline(services_.timeouts.sendIdle);
            if (co_await transport_.Write(pieces)) {
                co_return false;
            }
            pending.clear();
            offset += static_cast<uint64_t>(count);
        }
    } else {
        if (!pending.empty()) {
            if (co_await transport_.Write(asio::buffer(pending))) {
                co_return false;
            }
            pending.clear();
        }
        // The file goes from the page cache; the descriptor is already
        // non-blocking (accept4 made it so).
        const int fd = transport_.Socket().native_handle();
        off_t position = static_cast<off_t>(start);
        std::error_code error;
        while (!error && static_cast<uint64_t>(position) < end) {
            const std::size_t want = static_cast<std::size_t>(
                std::min<uint64_t>(end - static_cast<uint64_t>(position), 1u << 30));
            const ssize_t count = ::sendfile(fd, file, &position, want);
            if (count > 0 || (count < 0 && errno == EINTR)) {
                continue;
            }
            if (count < 0 && errno == EAGAIN) {
                SetDeadline(services_.timeouts.sendIdle);
                std::tie(error) = co_await transport_.Socket().async_wait(
                    asio::ip::tcp::socket::wait_write, kNoError);
                continue;
            }
            break;  // the file shrank or failed under us
        }
        offset = static_cast<uint64_t>(position);
    }
    if (offset < end) {
        // The promised length cannot be kept, so the connection is dropped
        // rather than padded.
        Abandon();
        co_return false;
    }
    co_return true;
}

asio::awaitable<void> Connection::LingeringClose(bool requestsDone) {
    if (!transport_.IsOpen()) {
        co_return;
    }
    if (requestsDone && transport_.NothingMoreSent()) {
        // Nothing unread and nothing more sent: a close now cannot reset the
        // reply still on its way, so the client need not be waited for.
        transport_.Close();
        co_return;
    }
    SetDeadline(services_.timeouts.linger);
    co_await transport_.Linger();
    transport_.Close();
}

}  // namespace quorvane::server
