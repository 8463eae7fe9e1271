#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "http/byte_ranges.h"
#include "http/byteranges_body.h"

namespace quorvane::http {

// A body as texts and slices of one open file, in order, so a document with
// its footer, any range of it, and several ranges with their part heads are
// all laid out without reading the file into memory.
class BodyPieces {
  public:
    void AddText(std::string_view text);
    void AddSlice(uint64_t offset, uint64_t length);  // bytes of the file
    void Add(const BodyPieces& more);

    uint64_t Length() const { return length_; }
    // Bytes `range.first` to `range.last` of this body, as pieces of their own.
    BodyPieces Slice(ByteRange range) const;

    // The file's slices each after the text that goes before it, and the text
    // after the last slice.
    std::vector<BodyPart> Parts() const;
    std::string Closing() const;
    // A single slice of the file and nothing else.
    bool IsOneSlice() const;
    // The whole body when it holds no slice of the file.
    bool IsText() const;

  private:
    struct FileSlice {
        uint64_t offset;
        uint64_t length;
    };
    std::vector<std::variant<std::string, FileSlice>> pieces_;
    uint64_t length_ = 0;
};

// Where the first "</html>" (any letter case) begins in the file's first
// `size` bytes, read a window at a time; nothing when there is none.
std::optional<uint64_t> FindClosingHtmlTag(int fd, uint64_t size);

}  // namespace quorvane::http
