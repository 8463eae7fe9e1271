// Request intake: head end, request line, target, decoding, headers.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "http/byte_ranges.h"
#include "http/conditions.h"
#include "http/escaping.h"
#include "http/http_date.h"
#include "responses/request_head.h"
#include "server/request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto end = quorvane::server::FindHeadEnd(input);
    const std::string_view head = end ? input.substr(0, *end) : input;
    const quorvane::server::Request request = quorvane::server::ParseRequest(head);
    if (request.target) {
        // A parsed segment can never climb, name the folder it stands in,
        // or carry a separator or a control byte.
        for (const std::string& segment : request.target->segments) {
            if (segment.empty() || segment == "." || segment == "..") {
                std::abort();
            }
            for (char c : segment) {
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '/' || c == '\\') {
                    std::abort();
                }
            }
        }
    }
    // Range and the conditional lines, against a representation of a length
    // taken from the input: every satisfiable range lies inside it.
    using namespace quorvane::responses;
    const uint64_t length = size > 0 ? static_cast<uint64_t>(data[0]) * 977 : 0;
    if (const auto range = GetHeaderValue(head, "Range")) {
        const http::RangeRequest ranges = http::ParseRange(*range, length);
        for (const http::ByteRange& r : ranges.ranges) {
            if (r.first > r.last || r.last >= length) {
                std::abort();
            }
        }
    }
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    http::EvaluateConditions({.ifMatch = GetHeaderValue(head, "If-Match"),
                              .ifUnmodifiedSince = GetHeaderValue(head, "If-Unmodified-Since"),
                              .ifNoneMatch = GetHeaderValue(head, "If-None-Match"),
                              .ifModifiedSince = GetHeaderValue(head, "If-Modified-Since"),
                              .ifRange = GetHeaderValue(head, "If-Range")},
                             {"\"tag\"", now}, now);
    http::ParseHttpDate(input, now);
    quorvane::responses::GetHeaderValue(head, "Authorization");
    quorvane::http::PercentDecode(input);
    return 0;
}
