// CGI output headers: any output gets a reply or the error page, and a
// composed head is well formed, one length stated by the server.
#include <algorithm>
#include <cctype>
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
        const std::string head = quorvane::http::RenderHead(*reply, "date", "close");
        // "HTTP/1.1 ", three digits, then a blank or the line's end.
        if (head.rfind("HTTP/1.1 ", 0) != 0 || head.size() < 14 ||
            !std::all_of(head.begin() + 9, head.begin() + 12,
                         [](char c) { return c >= '0' && c <= '9'; }) ||
            (head[12] != ' ' && head[12] != '\r') ||
            head.compare(head.size() - 4, 4, "\r\n\r\n") != 0) {
            std::abort();
        }
        std::string lower = head;
        for (char& c : lower) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        // The length is stated exactly when a body may follow.
        if ((lower.find("\r\ncontent-length: ") == std::string::npos) == reply->AllowsBody() ||
            lower.find("\r\ntransfer-encoding:") != std::string::npos ||
            lower.find("\r\ncontent-length:") != lower.rfind("\r\ncontent-length:")) {
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
