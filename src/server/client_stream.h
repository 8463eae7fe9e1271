#pragma once

#include <asio/awaitable.hpp>
#include <cstdint>
#include <functional>
#include <string>

#include "http/request.h"
#include "server/body_budget.h"
#include "server/limits.h"
#include "server/transport.h"

namespace quorvane::server {

// What a client sends, as heads and bodies: bytes are buffered as they
// arrive, heads are found in them, and a body is taken (or skipped) whole,
// whatever follows it kept for the next request.
class ClientStream {
  public:
    explicit ClientStream(Transport& transport) : transport_(transport) {}

    // Reads what has arrived, up to the head limit; false when the client
    // closed or the read was ended.
    asio::awaitable<bool> ReadMore();
    http::RequestParser::Found LookForHead() { return parser_.Look(received_); }
    // The head found, parsed and taken out; `whole` false for one cut at the limit.
    http::Request TakeHead(bool whole);
    // Takes `length` bytes of body, first what is buffered, then from the
    // socket, into `into` (dropped without it), each byte charged to
    // `charge` when there is one; false when the client went away or the
    // budget ran out (`overBudget`).
    asio::awaitable<bool> Take(uint64_t length, std::string* into, BodyBudget::Charge* charge,
                               bool& overBudget);

    // How streaming a body ended.
    enum class BodyEnd {
        kComplete,
        kTooLarge,   // more data than the limit
        kRefused,    // the consumer would take no more
        kMalformed,  // a chunked body out of form
        kGone,       // the client closed, or the read was ended
    };
    // Streams a body framed by its length or chunked to `consume`, data
    // only, at most `limit` bytes, as it arrives; `progress` is told each
    // time bytes arrive. What follows the body stays for the next request.
    asio::awaitable<BodyEnd> Stream(const http::BodyFraming& framing, uint64_t limit,
                                    const std::function<bool(std::string_view)>& consume,
                                    const std::function<void()>& progress);

    bool Empty() const { return received_.empty(); }
    uint64_t Buffered() const { return received_.size(); }
    // An idle connection holds no big buffer.
    void Shrink();
    // Completes true once the client has gone; bytes it sends meanwhile are
    // kept for the next request.
    asio::awaitable<bool> WaitUntilGone() {
        return transport_.WaitUntilGone(received_, kHeadLimit);
    }

  private:
    asio::awaitable<BodyEnd> StreamLength(uint64_t length,
                                          const std::function<bool(std::string_view)>& consume,
                                          const std::function<void()>& progress);
    asio::awaitable<BodyEnd> StreamChunked(uint64_t limit,
                                           const std::function<bool(std::string_view)>& consume,
                                           const std::function<void()>& progress);
    // Reads what arrives next into the empty buffer; false when the client went away.
    asio::awaitable<bool> Refill();

    Transport& transport_;
    std::string received_;  // read and not yet taken, the next head first
    http::RequestParser parser_{kHeadLimit};
};

}  // namespace quorvane::server
