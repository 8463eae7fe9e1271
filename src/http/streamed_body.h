#pragma once

#include <string_view>

namespace quorvane::http {

// A body made while it is sent, whose length nobody knows beforehand (a
// folder as zip): it goes out chunked to an HTTP/1.1 client and ends the
// connection for an HTTP/1.0 one. Its maker keeps what it holds bounded, so
// memory stays flat whatever it sends.
class StreamedBody {
  public:
    virtual ~StreamedBody() = default;
    // The next bytes, valid until the next call; empty once all is made.
    virtual std::string_view Next() = 0;
    // The body ended early (a file it read failed): the client must see it
    // cut short rather than whole.
    virtual bool Failed() const = 0;
};

}  // namespace quorvane::http
