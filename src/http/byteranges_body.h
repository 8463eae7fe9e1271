#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "http/byte_ranges.h"

namespace quorvane::http {

// One part of a multipart/byteranges body: its text, then its slice of the
// representation.
struct BodyPart {
    std::string head;
    ByteRange slice;
};

// The whole body for several ranges, laid out without reading the file, so
// the connection sends each head from memory and streams each slice from the
// open file.
struct ByterangesBody {
    std::string contentType;  // "multipart/byteranges; boundary=..."
    std::vector<BodyPart> parts;
    std::string closing;  // sent after the last slice
    uint64_t length = 0;  // of everything above, for Content-Length
};

// A boundary made from a number (a random one in replies); 16 hex digits make
// its appearance inside a file practically impossible.
std::string ByterangesBoundary(uint64_t number);

// Each part names `partType` (left out when empty) and its Content-Range
// against `length`.
ByterangesBody LayOutByteranges(const std::vector<ByteRange>& ranges, uint64_t length,
                                std::string_view partType, std::string_view boundary);

}  // namespace quorvane::http
