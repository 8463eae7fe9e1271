#include "server/connection.h"

#include <sys/socket.h>

#include <array>
#include <asio/experimental/as_tuple.hpp>
#include <asio/use_awaitable.hpp>

#include "config/address_text.h"
#include "http/http_date.h"
#include "responses/error_pages.h"
#include "server/access_log.h"
#include "server/engine_observer.h"
#include "server/request_handler.h"
#include "thumbnails/thumbnail_maker.h"

namespace quorvane::server {

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

void Connection::Abandon() {
    SetStage(Stage::kServing);  // never chosen to make room again
    transport_.Close();
}

void Connection::SetStage(Stage stage) {
    services_.connections.SetStage(place_, stage);
}

void Connection::SetDeadline(std::chrono::steady_clock::duration fromNow) {
    deadline_.expires_after(fromNow);
    deadline_.async_wait([self = shared_from_this()](std::error_code error) {
        if (error != asio::error::operation_aborted &&
            self->deadline_.expiry() <= std::chrono::steady_clock::now()) {
            self->transport_.Close();
        }
    });
}

void Connection::Deadline(std::optional<std::chrono::steady_clock::duration> fromNow) {
    if (fromNow) {
        SetDeadline(*fromNow);
    } else {
        deadline_.cancel();
    }
}

asio::awaitable<void> Connection::Run() {
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
        // For a move to HTTPS.
        localAddress_ = config::LocalAddressText(transport_.Socket().native_handle());
    }
    bool everythingRead = true;
    for (int served = 0; served < kMaxRequestsPerConnection; ++served) {
        const HeadRead head = co_await ReadHead(served == 0);
        if (head == HeadRead::kClosed) {
            if (served == 0) {
                // Closed or stalled before a request arrived: no reply, no record.
                services_.observer.OnLogAppended("Connection By: " + peerAddress_ + "\r\n");
            }
            break;
        }
        // The request is decided from its head: a refused client never gets
        // to send its body.
        const http::Request request = stream_.TakeHead(head != HeadRead::kTooLarge);
        const LoadTicket inProgress(services_.load);
        if (!co_await Serve(request, served + 1 == kMaxRequestsPerConnection, everythingRead)) {
            break;
        }
    }
    co_await transport_.CloseGracefully(everythingRead && stream_.Empty(),
                                        [this] { SetDeadline(services_.timeouts.linger); });
    deadline_.cancel();
}

asio::awaitable<Connection::HeadRead> Connection::ReadHead(bool first) {
    if (!first) {
        SetDeadline(services_.timeouts.keepAlive);
    }
    bool started = !stream_.Empty();
    for (;;) {
        const http::RequestParser::Found found = stream_.LookForHead();
        if (found != http::RequestParser::Found::kNothingYet) {
            SetStage(Stage::kServing);
            co_return found == http::RequestParser::Found::kHead ? HeadRead::kComplete
                                                                 : HeadRead::kTooLarge;
        }
        if (!started && !first) {
            stream_.Shrink();
            SetStage(Stage::kIdle);  // may be closed to make room while it waits
        }
        if (!co_await stream_.ReadMore()) {
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

Outcome Connection::Decide(const http::Request& request) {
    return services_.handler.Handle(request,
                                    {.address = peerAddress_,
                                     .secure = transport_.Secure(),
                                     .fromThisComputer = fromThisComputer_,
                                     .serverPort = services_.port,
                                     .httpsPort = services_.httpsPort,
                                     .localAddress = localAddress_},
                                    std::chrono::system_clock::now());
}

asio::awaitable<bool> Connection::Serve(const http::Request& request, bool last,
                                        bool& everythingRead) {
    Outcome outcome = Decide(request);
    // A chunked body not taken cannot be skipped by its length: the
    // connection ends after the reply.
    uint64_t unread = outcome.endsConnection ? 0
                      : request.body.kind == http::BodyFraming::Kind::kChunked
                          ? UINT64_MAX
                          : request.body.length;
    if (outcome.bodyWanted || outcome.sink) {
        if (!co_await TakeBody(request, outcome)) {
            Abandon();  // the client went away: nothing is left to answer
            co_return false;
        }
        unread = 0;  // taken whole, or the connection ends
    }
    Report(outcome);
    if (outcome.script) {
        if (outcome.script->inputLength > 0 || !outcome.script->input.empty()) {
            unread = 0;  // the script takes the body
        }
        if (!co_await RunScriptOf(request, outcome)) {
            Abandon();  // the client went away: nothing is left to answer
            co_return false;
        }
    }
    if (outcome.thumbnail) {
        co_await MakeThumbnail(outcome);
    }
    // A body left unread is skipped when small; a client waiting to be asked
    // for its body is not asked, so the connection ends. A streamed body
    // reaches an HTTP/1.0 client only as everything up to the close.
    const bool keep = request.keepAlive && !outcome.endsConnection && !outcome.reply.IsRaw() &&
                      !last && !(outcome.reply.IsStreamed() && request.http10) &&
                      (unread == 0 || (unread <= kDiscardLimit && !request.expectContinue));
    if (!co_await Reply(request, outcome.reply, keep)) {
        Abandon();  // gone, or the promised length could not be kept
        co_return false;
    }
    everythingRead = unread == 0;
    if (!keep || !transport_.IsOpen()) {
        co_return false;
    }
    SetDeadline(services_.timeouts.discard);
    bool overBudget = false;
    everythingRead = unread == 0 || co_await stream_.Take(unread, nullptr, nullptr, overBudget);
    co_return everythingRead;
}

asio::awaitable<void> Connection::MakeThumbnail(Outcome& outcome) {
    ThumbnailWanted& wanted = *outcome.thumbnail;
    std::optional<config::FileHandle> made;
    if (services_.thumbnails != nullptr) {
        made = co_await services_.thumbnails->Thumbnail(*wanted.source, wanted.info);
    }
    struct stat info {};
    if (!made || ::fstat(made->Get(), &info) != 0) {
        // Not an image the decoder reads: the page shows its icon instead.
        outcome.reply = responses::SendRequestErrorPage(http::Status::kNotFound,
                                                        std::chrono::system_clock::now());
        co_return;
    }
    http::BodyPieces pieces;
    pieces.AddSlice(0, static_cast<uint64_t>(info.st_size));
    outcome.reply = std::move(wanted.reply);
    outcome.reply.body =
        http::FileBody{std::make_shared<config::FileHandle>(std::move(*made)), std::move(pieces)};
}

asio::awaitable<bool> Connection::OfferContinue(bool asked, uint64_t length) {
    if (!asked || stream_.Buffered() >= length) {
        co_return true;
    }
    static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
    co_return !co_await transport_.Write(asio::buffer(kContinue));
}

// How a body that could not be taken is answered; the connection then ends,
// since the rest of the body is never read.
void Connection::RefuseBody(ClientStream::BodyEnd end, Outcome& outcome) {
    const auto now = std::chrono::system_clock::now();
    outcome.endsConnection = true;
    outcome.sink.reset();  // an upload cut short leaves nothing
    switch (end) {
        case ClientStream::BodyEnd::kTooLarge:
            outcome.reply = responses::SendTooLargePage(now);
            break;
        case ClientStream::BodyEnd::kRefused:
            outcome.reply = responses::SendBusyPage(now);
            break;
        default:
            outcome.reply = responses::SendRequestErrorPage(http::Status::kBadRequest, now);
    }
}

asio::awaitable<bool> Connection::TakeBody(const http::Request& request, Outcome& outcome) {
    const uint64_t length =
        request.body.kind == http::BodyFraming::Kind::kChunked ? UINT64_MAX : request.body.length;
    if (!co_await OfferContinue(request.expectContinue, length)) {
        co_return false;
    }
    if (outcome.sink) {
        co_return co_await Upload(request, outcome);
    }
    std::string content;
    BodyBudget::Charge charge(services_.bodies, place_->client);
    SetDeadline(services_.timeouts.body);
    const ClientStream::BodyEnd end = co_await stream_.Stream(
        request.body, *outcome.bodyWanted,
        [&](std::string_view bytes) {
            if (!charge.Add(bytes.size())) {
                return false;
            }
            content.append(bytes);
            return true;
        },
        [] {});
    if (end == ClientStream::BodyEnd::kGone) {
        co_return false;
    }
    if (end != ClientStream::BodyEnd::kComplete) {
        RefuseBody(end, outcome);
        co_return true;
    }
    http::Request whole = request;
    whole.content = std::move(content);
    outcome = Decide(whole);
    co_return true;
}

// An upload streams into its sink for as long as bytes keep coming.
asio::awaitable<bool> Connection::Upload(const http::Request& request, Outcome& outcome) {
    http::BodySink& sink = *outcome.sink;
    const auto stall = services_.timeouts.uploadStall;
    SetDeadline(stall);
    // The stall deadline moves on as bytes come, a few times a second at
    // most rather than at every read.
    auto armed = std::chrono::steady_clock::now();
    const ClientStream::BodyEnd end = co_await stream_.Stream(
        request.body, sink.Limit(), [&](std::string_view bytes) { return sink.Write(bytes); },
        [&] {
            const auto now = std::chrono::steady_clock::now();
            if (now - armed > stall / 8) {
                armed = now;
                SetDeadline(stall);
            }
        });
    if (end == ClientStream::BodyEnd::kGone) {
        co_return false;
    }
    if (end != ClientStream::BodyEnd::kComplete && end != ClientStream::BodyEnd::kRefused) {
        RefuseBody(end, outcome);
        co_return true;
    }
    std::string note;
    outcome.reply = sink.Finish(note);
    outcome.logView = " " + request.methodName + ": " + note + "\r\n";
    outcome.endsConnection = end != ClientStream::BodyEnd::kComplete;
    outcome.sink.reset();
    co_return true;
}

asio::awaitable<bool> Connection::RunScriptOf(const http::Request& request, Outcome& outcome) {
    expectContinue_ = request.expectContinue;
    cgi::ScriptEnd end = co_await cgi::RunScript(
        std::move(*outcome.script), *this, services_.cgiSlots,
        {.queue = services_.timeouts.cgiQueue, .sendIdle = services_.timeouts.sendIdle});
    bodyCharge_.reset();
    if (!end.reply) {
        co_return false;
    }
    outcome.reply = std::move(*end.reply);
    outcome.endsConnection = outcome.endsConnection || end.endsConnection;
    co_return true;
}

asio::awaitable<bool> Connection::Reply(const http::Request& request,
                                        const http::Response& response, bool keep) {
    if (keep && !noDelay_) {
        // Replies leave whole (gathered, joined for TLS, or the head corked
        // before sendfile); on a kept connection Nagle would only hold a
        // reply's last piece behind the client's delayed ACK.
        std::error_code ignored;
        transport_.Socket().set_option(asio::ip::tcp::no_delay(true), ignored);
        noDelay_ = true;
    }
    SetDeadline(services_.timeouts.sendIdle);
    const std::string date = http::HttpDateText(
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
    // No answer to HEAD carries a body, refusals of a malformed one included.
    const bool chunked = response.IsStreamed() && !request.http10;
    co_return co_await transport_.Send(
        http::RenderHead(response, date, http::ConnectionWord(keep, request.http10), chunked),
        response, request.method != http::Method::kHead,
        [this] { SetDeadline(services_.timeouts.sendIdle); }, chunked);
}

void Connection::Report(const Outcome& outcome) {
    if (outcome.accessLogLine) {
        services_.accessLog.Write(*outcome.accessLogLine);
    }
    EngineObserver& observer = services_.observer;
    observer.OnLogAppended("Connection By: " + peerAddress_ + outcome.logView);
    for (const config::ReadProblem& problem : outcome.readProblems) {
        observer.OnNotice(problem);
    }
    if (outcome.signInsHeld) {
        observer.OnNotice(*outcome.signInsHeld);
    }
    if (outcome.passwordsInClear && !services_.notices.passwordsInClear) {
        services_.notices.passwordsInClear = true;
        observer.OnNotice(PasswordsInClear{});
    }
}

asio::awaitable<cgi::ScriptClient::BodyRead> Connection::ReadBody(cgi::ScriptLaunch& launch) {
    SetDeadline(services_.timeouts.body);
    bodyCharge_.emplace(services_.bodies, place_->client);
    const uint64_t length = launch.inputLength;
    if (!co_await OfferContinue(expectContinue_, length)) {
        co_return BodyRead::kGone;
    }
    std::string body;
    bool overBudget = false;
    if (!co_await stream_.Take(length, &body, &*bodyCharge_, overBudget)) {
        co_return overBudget ? BodyRead::kOverBudget : BodyRead::kGone;
    }
    launch.input.insert(0, body);
    co_return BodyRead::kComplete;
}

asio::awaitable<bool> Connection::WaitUntilGone() {
    co_return co_await stream_.WaitUntilGone();
}

}  // namespace quorvane::server
