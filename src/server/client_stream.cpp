#include "server/client_stream.h"

#include <algorithm>
#include <array>

#include "http/chunked_body.h"

namespace quorvane::server {

asio::awaitable<bool> ClientStream::ReadMore() {
    const std::size_t used = received_.size();
    received_.resize(std::min(kHeadLimit, used + 4096));
    auto [error, count] = co_await transport_.ReadSome(
        asio::buffer(received_.data() + used, received_.size() - used));
    received_.resize(used + (error ? 0 : count));
    co_return !error;
}

http::Request ClientStream::TakeHead(bool whole) {
    http::Request request =
        http::ParseHead(std::string_view(received_.data(), parser_.HeadSize()), whole);
    received_.erase(0, parser_.HeadSize());
    parser_.Restart();
    return request;
}

asio::awaitable<bool> ClientStream::Take(uint64_t length, std::string* into,
                                         BodyBudget::Charge* charge, bool& overBudget) {
    // The body grows as it arrives, never to what the head announced.
    uint64_t left = length;
    std::array<char, 16 * 1024> chunk;
    while (left > 0) {
        if (received_.empty()) {
            auto [error, count] = co_await transport_.ReadSome(asio::buffer(chunk));
            if (error) {
                co_return false;  // closed, or the body's deadline passed
            }
            received_.assign(chunk.data(), count);
        }
        const auto mine = static_cast<std::size_t>(std::min<uint64_t>(left, received_.size()));
        if (charge != nullptr && !charge->Add(mine)) {
            overBudget = true;
            co_return false;
        }
        if (into != nullptr) {
            into->append(received_, 0, mine);
        }
        received_.erase(0, mine);  // what is left is the next request's start
        left -= mine;
    }
    co_return true;
}

asio::awaitable<bool> ClientStream::Refill() {
    // Bodies arrive in large reads, into a buffer held only while bytes are
    // there: a client that stalls mid-body holds none.
    if (!transport_.Readable()) {
        std::string().swap(received_);
        co_await transport_.WaitReadable();
    }
    received_.resize(kStreamReadSize);
    auto [error, count] = co_await transport_.ReadSome(asio::buffer(received_));
    received_.resize(error ? 0 : count);
    co_return !error;
}

asio::awaitable<ClientStream::BodyEnd> ClientStream::Stream(
    const http::BodyFraming& framing, uint64_t limit,
    const std::function<bool(std::string_view)>& consume, const std::function<void()>& progress) {
    if (framing.kind == http::BodyFraming::Kind::kChunked) {
        co_return co_await StreamChunked(limit, consume, progress);
    }
    const uint64_t length = framing.kind == http::BodyFraming::Kind::kLength ? framing.length : 0;
    if (length > limit) {
        co_return BodyEnd::kTooLarge;
    }
    co_return co_await StreamLength(length, consume, progress);
}

asio::awaitable<ClientStream::BodyEnd> ClientStream::StreamLength(
    uint64_t length, const std::function<bool(std::string_view)>& consume,
    const std::function<void()>& progress) {
    for (uint64_t left = length; left > 0;) {
        if (received_.empty() && !co_await Refill()) {
            co_return BodyEnd::kGone;
        }
        progress();
        const auto mine = static_cast<std::size_t>(std::min<uint64_t>(left, received_.size()));
        const bool taken = consume(std::string_view(received_).substr(0, mine));
        received_.erase(0, mine);
        left -= mine;
        if (!taken) {
            co_return BodyEnd::kRefused;
        }
    }
    co_return BodyEnd::kComplete;
}

asio::awaitable<ClientStream::BodyEnd> ClientStream::StreamChunked(
    uint64_t limit, const std::function<bool(std::string_view)>& consume,
    const std::function<void()>& progress) {
    http::ChunkedDecoder decoder;
    std::string data;
    while (decoder.state() == http::ChunkedDecoder::State::kReading) {
        if (received_.empty() && !co_await Refill()) {
            co_return BodyEnd::kGone;
        }
        progress();
        data.clear();
        received_.erase(0, decoder.Feed(received_, data));
        if (decoder.DataLength() > limit) {
            co_return BodyEnd::kTooLarge;
        }
        if (!data.empty() && !consume(data)) {
            co_return BodyEnd::kRefused;
        }
    }
    co_return decoder.state() == http::ChunkedDecoder::State::kDone ? BodyEnd::kComplete
                                                                    : BodyEnd::kMalformed;
}

void ClientStream::Shrink() {
    if (received_.empty() && received_.capacity() > 4096) {
        std::string().swap(received_);
    }
}

}  // namespace quorvane::server
