#include "server/request.h"

#include <algorithm>

#include "config/text.h"
#include "responses/request_head.h"

namespace quorvane::server {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool HasControlCharacter(std::string_view text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return true;
        }
    }
    return false;
}

// The request line up to and including its CR. A line ended by LF alone is
// taken up to the LF, so clients that send bare LF are understood too.
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

// An absolute-form target ("http://host/path") is reduced to its path.
std::string_view OriginForm(std::string_view target) {
    for (std::string_view scheme : {"http://", "https://"}) {
        if (config::StartsWithIgnoringCase(target, scheme)) {
            const size_t slash = target.find('/', scheme.size());
            return slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
        }
    }
    return target;
}

}  // namespace

std::optional<std::string> PercentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

Request ParseRequest(std::string_view head) {
    Request request;
    struct Prefix {
        std::string_view text;
        Method method;
    };
    static constexpr Prefix kMethods[] = {
        {"GET", Method::kGet}, {"HEAD", Method::kHead}, {"POST", Method::kPost}};
    size_t skip = 0;
    for (const Prefix& prefix : kMethods) {
        if (config::StartsWith(head, prefix.text)) {
            request.method = prefix.method;
            skip = prefix.text.size() + 1;
            break;
        }
    }
    if (request.method == Method::kOther) {
        return request;
    }

    request.requestLine = RequestLineOf(head);
    if (request.requestLine.find("..") != std::string::npos) {
        request.malformed = true;
        return request;
    }
    std::string_view path;
    if (request.requestLine.size() > skip) {
        path = std::string_view(request.requestLine).substr(skip);
        const size_t space = path.find(' ');
        path = space == std::string_view::npos ? std::string_view() : path.substr(0, space);
    }
    request.rawPath = std::string(path);
    path = OriginForm(path);
    // A path must begin at the site's top: "x/y" joined to the root folder
    // would reach its sibling folders ("www" + "x/" is "wwwx/").
    if (!path.empty() && path.front() != '/') {
        request.malformed = true;
        return request;
    }

    std::string_view rawDirectory;
    std::string_view rawDocument;
    const size_t dot = path.find('.');
    if (dot == std::string_view::npos) {
        rawDirectory = path;
        rawDocument = "Default";
    } else {
        const size_t slash = path.rfind('/', dot);
        if (slash == std::string_view::npos) {
            rawDocument = path;
        } else {
            rawDirectory = path.substr(0, slash);
            rawDocument = path.substr(slash + 1);
        }
    }
    const size_t question = rawDocument.find('?');
    if (question != std::string_view::npos) {
        request.query = std::string(rawDocument.substr(question + 1));
        rawDocument = rawDocument.substr(0, question);
    }
    const std::optional<std::string> directory = PercentDecode(rawDirectory);
    const std::optional<std::string> document = PercentDecode(rawDocument);
    if (!directory || !document || HasControlCharacter(*directory) ||
        HasControlCharacter(*document) || directory->find("..") != std::string::npos ||
        document->find("..") != std::string::npos) {
        request.malformed = true;
        return request;
    }
    request.directory = directory->empty() ? "/" : *directory;
    request.document = *document;
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
