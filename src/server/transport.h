#pragma once

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ssl/context.hpp>
#include <asio/ssl/stream.hpp>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <utility>

#include "http/response.h"

namespace quorvane::server {

// The byte stream under one connection: the plain socket, or TLS over it.
// Only what differs between the two lives here (the handshake, reading,
// writing, how a client that left is seen, how the end is said), so a
// connection runs the same road over either.
class Transport {
  public:
    // Plain without a context; TLS (as the server side) with one.
    Transport(asio::ip::tcp::socket socket, asio::ssl::context* tls);

    bool Secure() const { return tls_.has_value(); }
    bool IsOpen() const { return socket_.is_open(); }
    // Ends whatever read or write waits, on either stream.
    void Close();
    asio::ip::tcp::socket& Socket() { return socket_; }

    // The TLS handshake; nothing to do on a plain stream. False when it failed.
    asio::awaitable<bool> Handshake();
    asio::awaitable<std::pair<std::error_code, std::size_t>> ReadSome(asio::mutable_buffer into);
    // Whether bytes can be read now without waiting (decrypted ones too).
    bool Readable();
    // Completes once bytes can be read, or the connection ended.
    asio::awaitable<void> WaitReadable();
    // Writes every buffer whole. Over TLS the pieces go out joined, so a
    // short reply leaves in one record.
    asio::awaitable<std::error_code> Write(std::span<const asio::const_buffer> buffers);
    asio::awaitable<std::error_code> Write(asio::const_buffer buffer);
    // Sends a head and, with `withBody`, the response's body: texts from
    // memory, slices of its file with sendfile on a plain stream, read and
    // written on a TLS one. `progress` is called as each piece leaves, so a
    // deadline can follow a client that is slow but reading. False when the
    // client went away, or the file could not give all it promised. A
    // streamed body goes out as it is made, in chunks where `chunked`.
    asio::awaitable<bool> Send(std::string head, const http::Response& response, bool withBody,
                               const std::function<void()>& progress, bool chunked = false);
    // True once the client has closed its side (or the socket was closed),
    // false when the wait was called off. Plain, pending bytes are only
    // peeked at, so a close behind a pipelined request does not show; TLS
    // bytes must be read to tell a close from data, and the data read is
    // added to `early` (at most `limit` bytes), for the next request.
    asio::awaitable<bool> WaitUntilGone(std::string& early, std::size_t limit);
    // Ends the connection so the client still reads everything sent: at
    // once when everything it sent was read (`requestsDone`) and nothing more
    // waits (a plain stream only: a TLS close has its own exchange); else TLS
    // says close_notify, the sending side shuts, and whatever the client
    // still sends is read and dropped until it closes, or `lingering` (called
    // first) lets the caller's deadline close it.
    asio::awaitable<void> CloseGracefully(bool requestsDone,
                                          const std::function<void()>& lingering);

  private:
    // On a plain stream, whether the client has sent nothing that waits
    // unread (or has closed).
    bool NothingMoreSent();
    // A body made while it is sent, after the head.
    asio::awaitable<bool> SendStreamed(std::string head, http::StreamedBody& body, bool chunked,
                                       const std::function<void()>& progress);
    // One slice of the file, after `pending` (which it empties).
    asio::awaitable<bool> SendFileSlice(int file, http::ByteRange slice, std::string& pending,
                                        const std::function<void()>& progress);

    asio::ip::tcp::socket socket_;
    std::optional<asio::ssl::stream<asio::ip::tcp::socket&>> tls_;
    std::string joined_;  // the pieces of one TLS write
};

}  // namespace quorvane::server
