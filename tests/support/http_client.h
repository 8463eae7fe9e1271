#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::testing {

// A blocking TCP client (on 127.0.0.1 unless told another address, such as
// ::1) for driving the server with exact bytes, in the clear or, after
// StartTls, over TLS. Every read gives up after its timeout, so no test can
// hang on it. A `source` address (127.0.0.2, any of loopback's) makes it
// another client to the server.
class RawClient {
  public:
    explicit RawClient(uint16_t port,
                       std::chrono::milliseconds timeout = std::chrono::milliseconds(5000),
                       std::string_view address = "127.0.0.1", std::string_view source = "");
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return fd_ >= 0; }
    // Makes the TLS handshake; with a CA file the server's certificate must
    // be signed by it (and name `host`). False when the handshake failed.
    bool StartTls(const std::string& caFile = "", const std::string& host = "");
    // The SHA-256 fingerprint of the certificate the server presented, as
    // `openssl x509 -fingerprint -sha256` shows it.
    std::string PeerFingerprint() const;
    bool Send(std::string_view bytes);
    void ShutdownSending();
    // Everything until the server closes (or the timeout passes).
    std::string ReadAll();
    // One reply: its head, then as many body bytes as its Content-Length
    // says (none for a HEAD request or a 304); empty when the connection
    // closed or timed out first. Bytes after it stay for the next call.
    std::string ReadReply(bool headOnly = false);
    // True when the server closed (or reset) the connection without sending
    // anything; false when it sent something or the read timed out.
    bool ClosedWithoutReply();
    // Everything (raw bytes, past any TLS) until the server closes or resets
    // the connection; nothing when the read timed out first.
    std::optional<std::string> ReadToClose();
    void Close();
    int Descriptor() const { return fd_; }

  private:
    bool Fill();  // reads more into pending_; false at the end
    // One read or write on the socket or through TLS, as recv and send count.
    long Receive(char* into, size_t size);
    long Transmit(const char* from, size_t size);
    int fd_ = -1;
    std::string pending_;
    std::shared_ptr<void> tls_;  // the connection's SSL (and its context) after StartTls
};

// Sends the request and returns the whole reply.
std::string Exchange(uint16_t port, std::string_view request,
                     std::string_view address = "127.0.0.1", std::string_view source = "");

// True when this machine can listen on ::1; tests of IPv6 clients skip
// without it.
bool HasIpv6Loopback();

}  // namespace quorvane::testing
