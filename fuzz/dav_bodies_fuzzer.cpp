// What a WebDAV client sends besides a file's bytes: XML bodies, If headers,
// chunked framing. Each is read without fault, and what is read holds:
// XML written back reads as the same tree, and a chunked body fed a byte at
// a time ends as it does fed whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dav/if_header.h"
#include "dav/xml_document.h"
#include "http/chunked_body.h"

namespace {

void CheckXml(std::string_view body) {
    const auto root = quorvane::dav::ParseXml(body);
    if (!root) {
        return;
    }
    const auto again = quorvane::dav::ParseXml("<r>" + root->InnerXml() + "</r>");
    if (!again || again->InnerXml() != root->InnerXml()) {
        std::abort();
    }
}

void CheckChunked(std::string_view body) {
    quorvane::http::ChunkedDecoder whole;
    std::string wholeData;
    const size_t taken = whole.Feed(body, wholeData);
    quorvane::http::ChunkedDecoder piecewise;
    std::string pieceData;
    size_t pieces = 0;
    while (pieces < body.size() &&
           piecewise.state() == quorvane::http::ChunkedDecoder::State::kReading) {
        pieces += piecewise.Feed(body.substr(pieces, 1), pieceData);
    }
    if (whole.state() != piecewise.state() || wholeData != pieceData ||
        (whole.state() == quorvane::http::ChunkedDecoder::State::kDone && taken != pieces)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
        case 0:
            CheckXml(rest);
            break;
        case 1:
            if (const auto lists = quorvane::dav::ParseIfHeader(rest)) {
                quorvane::dav::SubmittedTokens(*lists);
            }
            break;
        default:
            CheckChunked(rest);
    }
    return 0;
}
