#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "http/response.h"

namespace quorvane::http {

// Where a request body too large to hold goes as it arrives (an upload into
// its file), and what answers once it has all come. Dropped unfinished, it
// leaves nothing behind.
class BodySink {
  public:
    virtual ~BodySink() = default;

    // More than this many bytes is refused (413) and nothing is kept.
    virtual uint64_t Limit() const = 0;
    // False when the bytes cannot be kept: the body is refused, and Finish
    // says why.
    virtual bool Write(std::string_view bytes) = 0;
    // The body came whole (or Write refused it): the reply, with the log
    // view's note of what was done.
    virtual Response Finish(std::string& logNote) = 0;
};

}  // namespace quorvane::http
