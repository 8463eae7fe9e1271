// CGI output headers: any output gets a reply or the error page, and a
// composed head is well formed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cgi/cgi_gateway.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string output(reinterpret_cast<const char*>(data), size);
    const bool relayed = output.rfind("HTTP/", 0) == 0;
    const auto reply = quorvane::cgi::ComposeCgiReply(std::move(output));
    if (reply && !relayed) {
        const std::string& head = reply->head;
        if (head.rfind("HTTP/1.1 ", 0) != 0 || head.size() < 4 ||
            head.compare(head.size() - 4, 4, "\r\n\r\n") != 0) {
            std::abort();
        }
        // No header line may hide a bare line break (response splitting).
        for (size_t i = 0; i + 1 < head.size(); ++i) {
            if ((head[i] == '\n' && (i == 0 || head[i - 1] != '\r')) ||
                (head[i] == '\r' && head[i + 1] != '\n')) {
                std::abort();
            }
        }
    }
    return 0;
}
