// Request intake: head end, request line, path split, decoding, headers.
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
    if (request.method != quorvane::server::Method::kOther && !request.malformed) {
        // A parsed path can never climb out of the site or carry control bytes.
        if (request.directory.empty() || request.directory.front() != '/' ||
            request.directory.find("..") != std::string::npos ||
            request.document.find("..") != std::string::npos) {
            std::abort();
        }
        for (char c : request.directory + request.document) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                std::abort();
            }
        }
    }
    quorvane::responses::GetHeaderValue(head, "Authorization");
    quorvane::server::ContentLength(head);
    quorvane::server::PercentDecode(input);
    return 0;
}
