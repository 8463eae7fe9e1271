#include "server/request.h"

#include <algorithm>
#include <utility>

#include "config/text.h"
#include "responses/request_head.h"

namespace quorvane::server {

std::string RequestLineOf(std::string_view head) {
    const size_t cr = head.find('\r');
    const size_t lf = head.find('\n');
    if (cr != std::string_view::npos && (lf == std::string_view::npos || cr < lf)) {
        return std::string(head.substr(0, cr + 1));
    }
    if (lf != std::string_view::npos) {
        return std::string(head.substr(0, lf));
    }
    return {};
}

Request ParseRequest(std::string_view head) {
    Request request;
    static constexpr std::pair<std::string_view, Method> kMethods[] = {
        {"GET", Method::kGet}, {"HEAD", Method::kHead}, {"POST", Method::kPost}};
    const size_t space = head.find(' ');
    const std::string_view word = head.substr(0, space);
    for (const auto& [name, method] : kMethods) {
        if (word == name) {
            request.method = method;
            request.methodName = name;
        }
    }
    if (request.method == Method::kOther) {
        return request;
    }
    request.requestLine = RequestLineOf(head);
    // A line cut off before its end has no target to trust.
    std::string_view target = std::string_view(request.requestLine);
    target.remove_prefix(std::min(target.size(), word.size()));
    target.remove_prefix(std::min(target.size(), target.find_first_not_of(' ')));
    target = target.substr(0, target.find_first_of(" \r\n"));
    request.target = responses::ParseTarget(target);
    return request;
}

size_t ContentLength(std::string_view head) {
    const std::optional<std::string_view> value = responses::GetHeaderValue(head, "Content-Length");
    if (!value) {
        return 0;
    }
    size_t length = 0;
    for (char c : *value) {
        if (c < '0' || c > '9') {
            break;
        }
        if (length > (SIZE_MAX - 9) / 10) {
            return SIZE_MAX;  // absurdly large: the body limit refuses it
        }
        length = length * 10 + static_cast<size_t>(c - '0');
    }
    return length;
}

std::optional<size_t> FindHeadEnd(std::string_view received) {
    const size_t crlf = received.find("\r\n\r\n");
    const size_t lf = received.find("\n\n");
    const size_t crlfEnd = crlf == std::string_view::npos ? crlf : crlf + 4;
    const size_t lfEnd = lf == std::string_view::npos ? lf : lf + 2;
    const size_t end = std::min(crlfEnd, lfEnd);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    return end;
}

}  // namespace quorvane::server
