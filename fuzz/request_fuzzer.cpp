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
#include "http/request.h"
#include "server/limits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    namespace http = quorvane::http;
    // The parser finds the same end however the bytes arrive.
    http::RequestParser whole(quorvane::kHeadLimit);
    http::RequestParser pieces(quorvane::kHeadLimit);
    const http::RequestParser::Found found = whole.Look(input);
    http::RequestParser::Found trickled = http::RequestParser::Found::kNothingYet;
    for (size_t i = 1; i <= input.size() && trickled == http::RequestParser::Found::kNothingYet;
         i += 1 + i / 7) {
        trickled = pieces.Look(input.substr(0, i));
    }
    if (trickled == http::RequestParser::Found::kNothingYet) {
        trickled = pieces.Look(input);
    }
    if (found != trickled || (found != http::RequestParser::Found::kNothingYet &&
                              whole.HeadSize() != pieces.HeadSize())) {
        std::abort();
    }
    const std::string_view head =
        found == http::RequestParser::Found::kHead ? input.substr(0, whole.HeadSize()) : input;
    const http::Request request = http::ParseHead(head);
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
    const uint64_t length = size > 0 ? static_cast<uint64_t>(data[0]) * 977 : 0;
    if (const auto range = request.Range()) {
        const http::RangeRequest ranges = http::ParseRange(*range, length);
        for (const http::ByteRange& r : ranges.ranges) {
            if (r.first > r.last || r.last >= length) {
                std::abort();
            }
        }
    }
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    http::EvaluateConditions(request.ConditionFields(), {"\"tag\"", now}, now);
    http::ParseHttpDate(input, now);
    http::PercentDecode(input);
    return 0;
}
