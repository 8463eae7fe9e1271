#include "server/transport.h"

#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <asio/experimental/as_tuple.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>
#include <cerrno>
#include <charconv>
#include <vector>

#include "http/request.h"
#include "server/limits.h"

namespace quorvane::server {

namespace {

constexpr auto kNoError = asio::experimental::as_tuple(asio::use_awaitable);

// Waits until the socket is closed under it (or the wait is called off).
asio::awaitable<void> WaitForever(asio::ip::tcp::socket& socket) {
    asio::steady_timer never(socket.get_executor(), asio::steady_timer::time_point::max());
    co_await never.async_wait(kNoError);
}

std::string ChunkSizeLine(std::size_t size) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, size, 16).ptr;
    return std::string(digits, end) + "\r\n";
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

bool Transport::Readable() {
    std::error_code error;
    return (tls_ && ::SSL_pending(tls_->native_handle()) > 0) || socket_.available(error) > 0 ||
           error;
}

asio::awaitable<void> Transport::WaitReadable() {
    co_await socket_.async_wait(asio::ip::tcp::socket::wait_read, kNoError);
}

asio::awaitable<std::error_code> Transport::Write(std::span<const asio::const_buffer> buffers) {
    if (!tls_) {
        auto [error, count] = co_await asio::async_write(socket_, buffers, kNoError);
        co_return error;
    }
    if (asio::buffer_size(buffers) <= kTlsJoinLimit) {
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

asio::awaitable<bool> Transport::Send(std::string head, const http::Response& response,
                                      bool withBody, const std::function<void()>& progress,
                                      bool chunked) {
    if (response.IsRaw()) {
        // A program's own whole message goes out as it wrote it; to HEAD,
        // only its head.
        std::string_view message = response.TextBody();
        if (!withBody) {
            message = message.substr(0, http::FindHeadEnd(message).value_or(message.size()));
        }
        co_return !co_await Write(asio::buffer(message));
    }
    withBody = withBody && response.AllowsBody();
    if (const auto* streamed = std::get_if<std::shared_ptr<http::StreamedBody>>(&response.body);
        streamed != nullptr && withBody) {
        co_return co_await SendStreamed(std::move(head), **streamed, chunked, progress);
    }
    const auto* file = std::get_if<http::FileBody>(&response.body);
    if (!withBody || file == nullptr) {
        // Head and body leave in one gathered write.
        const std::string_view body = withBody ? response.TextBody() : std::string_view();
        const std::array buffers{asio::const_buffer(asio::buffer(head)),
                                 asio::const_buffer(body.data(), body.size())};
        co_return !co_await Write(buffers);
    }
    std::string pending = std::move(head);  // what goes out before the file's next bytes
    if (!tls_) {
        // The head goes out marked "more to come", so a small file joins it
        // in one packet.
        const ssize_t sent = ::send(socket_.native_handle(), pending.data(), pending.size(),
                                    MSG_MORE | MSG_NOSIGNAL);
        pending.erase(0, sent > 0 ? static_cast<std::size_t>(sent) : 0);
    }
    for (const http::BodyPart& part : file->pieces.Parts()) {
        pending += part.head;
        if (!co_await SendFileSlice(file->file->Get(), part.slice, pending, progress)) {
            co_return false;
        }
    }
    pending += file->pieces.Closing();
    co_return pending.empty() || !co_await Write(asio::buffer(pending));
}

asio::awaitable<bool> Transport::SendStreamed(std::string head, http::StreamedBody& body,
                                              bool chunked, const std::function<void()>& progress) {
    std::string pending = std::move(head);
    for (std::string_view bytes = body.Next(); !bytes.empty(); bytes = body.Next()) {
        if (chunked) {
            pending += ChunkSizeLine(bytes.size());
        }
        const std::array pieces{asio::const_buffer(asio::buffer(pending)),
                                asio::const_buffer(bytes.data(), bytes.size()),
                                asio::const_buffer(asio::buffer("\r\n", chunked ? 2 : 0))};
        progress();
        if (co_await Write(pieces)) {
            co_return false;
        }
        pending.clear();
    }
    if (body.Failed()) {
        co_return false;  // cut short: the connection ends without the last chunk
    }
    if (chunked) {
        pending += "0\r\n\r\n";
    }
    co_return pending.empty() || !co_await Write(asio::buffer(pending));
}

asio::awaitable<bool> Transport::SendFileSlice(int file, http::ByteRange slice,
                                               std::string& pending,
                                               const std::function<void()>& progress) {
    const uint64_t end = slice.last + 1;
    uint64_t offset = slice.first;
    if (tls_) {
        // No sendfile through TLS: the file is read and written in pieces,
        // the first after what is pending.
        std::vector<char> chunk(std::min<uint64_t>(slice.Length(), 64 * 1024));
        while (offset < end) {
            const ssize_t count =
                ::pread(file, chunk.data(), std::min<uint64_t>(chunk.size(), end - offset),
                        static_cast<off_t>(offset));
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count <= 0) {
                co_return false;  // the file shrank or failed under us
            }
            const std::array pieces{asio::const_buffer(asio::buffer(pending)),
                                    asio::const_buffer(chunk.data(), static_cast<size_t>(count))};
            progress();
            if (co_await Write(pieces)) {
                co_return false;
            }
            pending.clear();
            offset += static_cast<uint64_t>(count);
        }
        co_return true;
    }
    if (!pending.empty()) {
        if (co_await Write(asio::buffer(pending))) {
            co_return false;
        }
        pending.clear();
    }
    // The file goes from the page cache; the socket is already non-blocking
    // (accept4 made it so).
    off_t position = static_cast<off_t>(offset);
    while (static_cast<uint64_t>(position) < end) {
        const std::size_t want = static_cast<std::size_t>(
            std::min<uint64_t>(end - static_cast<uint64_t>(position), 1u << 30));
        const ssize_t count = ::sendfile(socket_.native_handle(), file, &position, want);
        if (count > 0 || (count < 0 && errno == EINTR)) {
            continue;
        }
        if (count < 0 && errno == EAGAIN) {
            progress();
            auto [error] = co_await socket_.async_wait(asio::ip::tcp::socket::wait_write, kNoError);
            if (error) {
                co_return false;
            }
            continue;
        }
        co_return false;  // the file shrank or failed under us
    }
    co_return true;
}

bool Transport::NothingMoreSent() {
    if (tls_) {
        return false;
    }
    char byte = 0;
    const ssize_t peeked = ::recv(socket_.native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked == 0 || (peeked < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
}

asio::awaitable<void> Transport::CloseGracefully(bool requestsDone,
                                                 const std::function<void()>& lingering) {
    if (!IsOpen()) {
        co_return;
    }
    if (requestsDone && NothingMoreSent()) {
        // Nothing unread and nothing more sent: a close now cannot reset the
        // reply still on its way, so the client need not be waited for.
        Close();
        co_return;
    }
    lingering();
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
    Close();
}

}  // namespace quorvane::server
