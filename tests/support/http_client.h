#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane::testing {

// A blocking TCP client (on 127.0.0.1 unless told another address, such as
// ::1) for driving the server with exact bytes. Every read gives up after its
// timeout, so no test can hang on it.
class RawClient {
  public:
    explicit RawClient(uint16_t port,
                       std::chrono::milliseconds timeout = std::chrono::milliseconds(5000),
                       std::string_view address = "127.0.0.1");
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return fd_ >= 0; }
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
    void Close();
    int Descriptor() const { return fd_; }

  private:
    bool Fill();  // reads more into pending_; false at the end
    int fd_ = -1;
    std::string pending_;
};

// Sends the request and returns the whole reply.
std::string Exchange(uint16_t port, std::string_view request,
                     std::string_view address = "127.0.0.1");

// True when this machine can listen on ::1; tests of IPv6 clients skip
// without it.
bool HasIpv6Loopback();

}  // namespace quorvane::testing
