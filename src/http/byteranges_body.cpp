#include "http/byteranges_body.h"

#include <cstdio>

namespace quorvane::http {

std::string ByterangesBoundary(uint64_t number) {
    char text[40];
    std::snprintf(text, sizeof text, "QUORVANE_%016llx", static_cast<unsigned long long>(number));
    return text;
}

ByterangesBody LayOutByteranges(const std::vector<ByteRange>& ranges, uint64_t length,
                                std::string_view partType, std::string_view boundary) {
    ByterangesBody body;
    body.contentType = "multipart/byteranges; boundary=";
    body.contentType += boundary;
    for (const ByteRange& range : ranges) {
        // The line end before a delimiter belongs to the delimiter, so every
        // part but the first starts with one.
        std::string head = body.parts.empty() ? "--" : "\r\n--";
        head += boundary;
        head += "\r\n";
        if (!partType.empty()) {
            head += "Content-Type: ";
            head += partType;
            head += "\r\n";
        }
        head += "Content-Range: " + ContentRangeText(range, length) + "\r\n\r\n";
        body.length += head.size() + range.Length();
        body.parts.push_back({std::move(head), range});
    }
    body.closing = "\r\n--";
    body.closing += boundary;
    body.closing += "--\r\n";
    body.length += body.closing.size();
    return body;
}

}  // namespace quorvane::http
