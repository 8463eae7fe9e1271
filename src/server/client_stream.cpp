#include "server/client_stream.h"

#include <algorithm>
#include <array>

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

void ClientStream::Shrink() {
    if (received_.empty() && received_.capacity() > 4096) {
        std::string().swap(received_);
    }
}

}  // namespace quorvane::server
