#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::http {

// Bytes `first` to `last` of a representation, both included.
struct ByteRange {
    uint64_t first = 0;
    uint64_t last = 0;

    uint64_t Length() const { return last - first + 1; }
    bool operator==(const ByteRange&) const = default;
};

enum class RangeVerdict {
    kIgnore,         // send the whole representation, 200
    kUnsatisfiable,  // 416 with Content-Range "bytes */LENGTH"
    kPartial,        // 206 with the ranges
};

struct RangeRequest {
    RangeVerdict verdict = RangeVerdict::kIgnore;
    std::vector<ByteRange> ranges;  // when partial: at least one, each inside the length
};

// Reads a Range header's value against a representation of `length` bytes.
// Ignored: a unit other than "bytes" (letter case ignored), anything outside
// the grammar (a range whose end lies before its start, such as 5-1, included)
// and more than kMaxRanges ranges. A range starting at or past the end and the
// suffix "-0" cannot be satisfied; the rest are clipped to the length (an
// empty representation has no satisfiable range). Numbers too large for 64
// bits count as the largest number, which is past any end. Ranges that
// overlap or touch are merged, and then come in ascending order; otherwise
// they keep the order they were asked in.
RangeRequest ParseRange(std::string_view value, uint64_t length);

// Content-Range values: "bytes 0-499/1234" and, for a refused range,
// "bytes */1234".
std::string ContentRangeText(ByteRange range, uint64_t length);
std::string UnsatisfiedRangeText(uint64_t length);

}  // namespace quorvane::http
