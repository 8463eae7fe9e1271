// Request intake: head end, request line, target, decoding, headers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

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
    quorvane::responses::GetHeaderValue(head, "Authorization");
    quorvane::responses::PercentDecode(input);
    return 0;
}
