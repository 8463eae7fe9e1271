#include "server/transport.h"

#include <sys/socket.h>

#include <array>
#include <asio/experimental/as_tuple.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>
#include <cerrno>

namespace quorvane::server {

namespace {

constexpr auto kNoError = asio::experimental::as_tuple(asio::use_awaitable);

// Pieces up to this size together are joined into one TLS write; a larger
// body goes piece by piece, each in records of its own anyway.
constexpr std::size_t kJoinLimit = 256 * 1024;

// Waits until the socket is closed under it (or the wait is called off).
asio::awaitable<void> WaitForever(asio::ip::tcp::socket& socket) {
    asio::steady_timer never(socket.get_executor(), asio::steady_timer::time_point::max());
    co_await never.async_wait(kNoError);
}

}  // namespace

Transport::Transport(asio::ip::tcp::socket socket, asio::ssl::context* tls)
    : socket_(std::move(socket)) {
    if (tls != nullptr) {
        tls_.emplace(socket_, *tls);
    }
}

void Transport::Close() {
    std::error_code ignored;
    socket_.close(ignored);
}

asio::awaitable<bool> Transport::Handshake() {
    if (!tls_) {
        co_return true;
    }
    auto [error] = co_await tls_->async_handshake(asio::ssl::stream_base::server, kNoError);
    co_return !error;
}

asio::awaitable<std::pair<std::error_code, std::size_t>> Transport::ReadSome(
    asio::mutable_buffer into) {
    auto [error, count] = tls_ ? co_await tls_->async_read_some(into, kNoError)
                               : co_await socket_.async_read_some(into, kNoError);
    co_return std::pair{error, count};
}

asio::awaitable<std::error_code> Transport::Write(std::span<const asio::const_buffer> buffers) {
    if (!tls_) {
        auto [error, count] = co_await asio::async_write(socket_, buffers, kNoError);
        co_return error;
    }
    if (asio::buffer_size(buffers) <= kJoinLimit) {
        joined_.clear();
        for (const asio::const_buffer& piece : buffers) {
            joined_.append(static_cast<const char*>(piece.data()), piece.size());
        }
        auto [error, count] = co_await asio::async_write(*tls_, asio::buffer(joined_), kNoError);
        co_return error;
    }
    for (const asio::const_buffer& piece : buffers) {
        auto [error, count] = co_await asio::async_write(*tls_, piece, kNoError);
        if (error) {
            co_return error;
        }
    }
    co_return std::error_code();
}

asio::awaitable<std::error_code> Transport::Write(asio::const_buffer buffer) {
    co_return co_await Write(std::span<const asio::const_buffer>(&buffer, 1));
}

asio::awaitable<bool> Transport::WaitUntilGone(std::string& early, std::size_t limit) {
    if (tls_) {
        std::array<char, 4096> chunk;
        while (early.size() < limit) {
            auto [error, count] = co_await tls_->async_read_some(
                asio::buffer(chunk.data(), std::min(chunk.size(), limit - early.size())), kNoError);
            if (error) {
                // Closed, reset, or a close_notify; or the wait was called off.
                co_return error != asio::error::operation_aborted || !socket_.is_open();
            }
            early.append(chunk.data(), count);
        }
        co_await WaitForever(socket_);  // the client is busy sending: it counts as present
        co_return false;
    }
    for (;;) {
        auto [error] = co_await socket_.async_wait(asio::ip::tcp::socket::wait_read, kNoError);
        if (error) {
            co_return !socket_.is_open();  // closed under us, or the wait was called off
        }
        char byte = 0;
        const ssize_t peeked = ::recv(socket_.native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EINTR)) {
            co_return true;  // the client closed or reset its side
        }
        if (peeked > 0) {
            // More bytes wait unread (a pipelined request), so a close would
            // not show: the client counts as present until called off.
            co_await WaitForever(socket_);
            co_return false;
        }
    }
}

bool Transport::NothingMoreSent() {
    if (tls_) {
        return false;
    }
    char byte = 0;
    const ssize_t peeked = ::recv(socket_.native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked == 0 || (peeked < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
}

asio::awaitable<void> Transport::Linger() {
    std::error_code error;
    if (tls_) {
        // Sends close_notify, then reads (and drops) until the client's own
        // close_notify or its close.
        std::tie(error) = co_await tls_->async_shutdown(kNoError);
    }
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, error);
    std::array<char, 4096> discard;
    while (!error) {
        std::size_t count = 0;
        std::tie(error, count) = co_await socket_.async_read_some(asio::buffer(discard), kNoError);
    }
}

}  // namespace quorvane::server
