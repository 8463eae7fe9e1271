#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane::testing {

// A blocking TCP client on 127.0.0.1 for driving the server with exact bytes.
// Every read gives up after its timeout, so no test can hang on it.
class RawClient {
  public:
    explicit RawClient(uint16_t port,
                       std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return fd_ >= 0; }
    bool Send(std::string_view bytes);
    void ShutdownSending();
    // Everything until the server closes (or the timeout passes).
    std::string ReadAll();
    // True when the server closed (or reset) the connection without sending
    // anything; false when it sent something or the read timed out.
    bool ClosedWithoutReply();
    void Close();
    int Descriptor() const { return fd_; }

  private:
    int fd_ = -1;
};

// Sends the request and returns the whole reply.
std::string Exchange(uint16_t port, std::string_view request);

}  // namespace quorvane::testing
