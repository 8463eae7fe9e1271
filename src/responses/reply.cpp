#include "responses/reply.h"

#include "responses/date_text.h"

namespace quorvane::responses {

std::string_view StatusLine(Status status) {
    switch (status) {
        case Status::kOk:
            return "HTTP/1.1 200 OK";
        case Status::kPartialContent:
            return "HTTP/1.1 206 Partial Content";
        case Status::kMovedPermanently:
            return "HTTP/1.1 301 Moved Permanently";
        case Status::kFound:
            return "HTTP/1.1 302 Found";
        case Status::kNotModified:
            return "HTTP/1.1 304 Not Modified";
        case Status::kTemporaryRedirect:
            return "HTTP/1.1 307 Temporary Redirect";
        case Status::kBadRequest:
            return "HTTP/1.1 400 Bad Request";
        case Status::kUnauthorized:
            return "HTTP/1.1 401 Unauthorized";
        case Status::kForbidden:
            return "HTTP/1.1 403 Forbidden";
        case Status::kNotFound:
            return "HTTP/1.1 404 Not Found";
        case Status::kLengthRequired:
            return "HTTP/1.1 411 Length Required";
        case Status::kPreconditionFailed:
            return "HTTP/1.1 412 Precondition Failed";
        case Status::kContentTooLarge:
            return "HTTP/1.1 413 Content Too Large";
        case Status::kRangeNotSatisfiable:
            return "HTTP/1.1 416 Range Not Satisfiable";
        case Status::kTooManyRequests:
            return "HTTP/1.1 429 Too Many Requests";
        case Status::kHeaderFieldsTooLarge:
            return "HTTP/1.1 431 Request Header Fields Too Large";
        case Status::kInternalServerError:
            return "HTTP/1.1 500 Internal Server Error";
        case Status::kNotImplemented:
            return "HTTP/1.1 501 Not Implemented";
        case Status::kServiceUnavailable:
            return "HTTP/1.1 503 Service Unavailable";
        case Status::kVersionNotSupported:
            return "HTTP/1.1 505 HTTP Version Not Supported";
    }
    return "HTTP/1.1 500 Internal Server Error";
}

std::string_view ReasonPhrase(Status status) {
    const std::string_view line = StatusLine(status);
    return line.substr(line.find(' ', 9) + 1);  // after "HTTP/1.1 NNN "
}

bool Reply::StatusAllowsBody() const {
    // "HTTP/1.1 NNN ...": the code's three digits follow the version.
    const std::string_view line = statusLine;
    const std::string_view code = line.size() >= 12 ? line.substr(9, 3) : std::string_view();
    return !noBody && !code.starts_with('1') && code != "204" && code != "304";
}

Reply StandardReply(const HeadLines& lines) {
    Reply reply;
    reply.statusLine = StatusLine(lines.status);
    std::string& head = reply.fields;
    head.reserve(160 + lines.more.size());
    if (lines.location) {
        head += "Location: ";
        head += *lines.location;
        head += "\r\n";
    }
    head += "Content-Type: ";
    head += lines.contentType;
    head += "\r\n";
    if (lines.acceptRanges) {
        head += "Accept-Ranges: bytes\r\n";
    }
    head += "Content-Length: ";
    head += std::to_string(lines.contentLength);
    head += "\r\n";
    if (lines.expires) {
        head += "Expires: ";
        head += ExpiryDateText(*lines.expires);
        head += "\r\n";
    }
    head += lines.more;
    return reply;
}

Reply PageReply(Status status, std::string body, Clock::time_point now) {
    Reply reply = StandardReply({.status = status,
                                 .contentType = kPageType,
                                 .contentLength = body.size(),
                                 .expires = std::chrono::floor<std::chrono::seconds>(now)});
    reply.body = std::move(body);
    return reply;
}

std::string RenderHead(const Reply& reply, std::string_view date, std::string_view connection) {
    std::string head;
    head.reserve(reply.statusLine.size() + reply.fields.size() + 96);
    head += reply.statusLine;
    head += "\r\nServer: Quorvane2000\r\nDate: ";
    head += date;
    head += "\r\n";
    head += reply.fields;
    if (!connection.empty()) {
        head += "Connection: ";
        head += connection;
        head += "\r\n";
    }
    head += "\r\n";
    return head;
}

}  // namespace quorvane::responses
