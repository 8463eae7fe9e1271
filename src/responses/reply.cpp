#include "responses/reply.h"

#include "responses/date_text.h"

namespace quorvane::responses {

std::string_view StatusLine(Status status) {
    switch (status) {
        case Status::kOk:
            return "HTTP/1.1 200 OK";
        case Status::kFound:
            return "HTTP/1.1 302 Found";
        case Status::kBadRequest:
            return "HTTP/1.1 400 Bad Request";
        case Status::kForbidden:
            return "HTTP/1.1 403 Forbidden";
        case Status::kNotFound:
            return "HTTP/1.1 404 Not Found";
        case Status::kContentTooLarge:
            return "HTTP/1.1 413 Content Too Large";
        case Status::kInternalServerError:
            return "HTTP/1.1 500 Internal Server Error";
        case Status::kNotImplemented:
            return "HTTP/1.1 501 Not Implemented";
        case Status::kServiceUnavailable:
            return "HTTP/1.1 503 Service Unavailable";
    }
    return "HTTP/1.1 500 Internal Server Error";
}

std::string_view ReasonPhrase(Status status) {
    const std::string_view line = StatusLine(status);
    return line.substr(line.find(' ', 9) + 1);  // after "HTTP/1.1 NNN "
}

std::string StandardHead(const HeadLines& lines) {
    std::string head;
    head.reserve(256);
    head += StatusLine(lines.status);
    head += "\r\nServer: Quorvane2000\r\n";
    if (lines.location) {
        head += "Location: ";
        head += *lines.location;
        head += "\r\n";
    }
    head += "Content-Type: ";
    head += lines.contentType;
    head += "\r\nAccept-Ranges: bytes\r\nContent-Length: ";
    head += std::to_string(lines.contentLength);
    head += "\r\n";
    if (lines.expires) {
        head += "Expires: ";
        head += ExpiryDateText(*lines.expires);
        head += "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    return head;
}

Reply PageReply(Status status, std::string body, Clock::time_point now) {
    Reply reply;
    reply.head = StandardHead({.status = status,
                               .contentType = "text/html",
                               .contentLength = body.size(),
                               .expires = std::chrono::floor<std::chrono::seconds>(now)});
    reply.body = std::move(body);
    return reply;
}

std::string ChallengeHead(std::string_view realm) {
    // The realm is a request path; quotation marks and backslashes in it are
    // escaped so it stays one quoted string.
    std::string quoted;
    for (char c : realm) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return "HTTP/1.0 401 Unauthorized\r\nServer: Quorvane2000\r\nWWW-Authenticate: Basic realm=\"" +
           quoted + "\"\r\nConnection: close\r\n\r\n";
}

}  // namespace quorvane::responses
