#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane::http {

// Reads a chunked body (RFC 9112 section 7.1) as it arrives, in pieces of
// any size: the data of its chunks comes out, sizes, extensions and
// trailers are taken and dropped. A size line or trailer past its bound, a
// size that is not hex or overflows, or a chunk not ended by its line end
// makes the body unreadable.
class ChunkedDecoder {
  public:
    enum class State { kReading, kDone, kInvalid };

    // Takes what it can of `input` into `data`; returns how many bytes of
    // `input` it took (fewer than all once the body is done: the rest is
    // the next request's).
    size_t Feed(std::string_view input, std::string& data);
    State state() const { return state_; }
    uint64_t DataLength() const { return dataLength_; }

  private:
    enum class Part { kSizeLine, kData, kDataEnd, kTrailer };
    bool EndSizeLine();
    bool EndTrailerLine();

    State state_ = State::kReading;
    Part part_ = Part::kSizeLine;
    std::string line_;   // the line being read, without its LF
    uint64_t left_ = 0;  // of the chunk being read
    uint64_t dataLength_ = 0;
    size_t trailerBytes_ = 0;
};

}  // namespace quorvane::http
