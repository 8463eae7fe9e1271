#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/file_handle.h"
#include "http/byteranges_body.h"

namespace quorvane::responses {

enum class Status {
    kOk,
    kPartialContent,
    kMovedPermanently,
    kFound,
    kNotModified,
    kTemporaryRedirect,
    kBadRequest,
    kUnauthorized,
    kForbidden,
    kNotFound,
    kLengthRequired,
    kPreconditionFailed,
    kContentTooLarge,
    kRangeNotSatisfiable,
    kTooManyRequests,
    kHeaderFieldsTooLarge,
    kInternalServerError,
    kNotImplemented,
    kServiceUnavailable,
    kVersionNotSupported,
};

std::string_view StatusLine(Status status);    // "HTTP/1.1 404 Not Found"
std::string_view ReasonPhrase(Status status);  // "Not Found"

// What a responder hands to the connection: the status, the header lines of
// this reply, and a body held in memory, a slice of an open file, or parts
// of an open file with texts between them. Responders never see the socket;
// the lines every reply shares (Server, Date, Connection) are added when the
// head is rendered, in one place.
struct Reply {
    std::string statusLine;  // "HTTP/1.1 200 OK"
    std::string fields;      // each "Name: value\r\n", in order
    std::string body;
    // A body kept and shared by several replies (a listing, an error page),
    // sent in place of `body`.
    std::shared_ptr<const std::string> sharedBody;
    config::FileHandle file;
    uint64_t fileOffset = 0;  // the slice of `file` sent
    uint64_t fileLength = 0;
    std::vector<http::BodyPart> parts;  // several slices of `file`, each after its text
    std::string closing;                // after the last part
    // The body is a whole message as a CGI program wrote it: it goes out as
    // it is, and its end is known only by closing the connection.
    bool raw = false;
    bool noBody = false;  // a 304: nothing follows the head, whatever the method

    // 1xx, 204 and 304 end with their head, whatever the request was.
    bool StatusAllowsBody() const;
    std::string_view BodyInMemory() const { return sharedBody ? *sharedBody : body; }
};

using Clock = std::chrono::system_clock;

struct HeadLines {
    Status status = Status::kOk;
    std::string_view contentType;
    uint64_t contentLength = 0;
    std::optional<std::chrono::sys_seconds> expires;
    std::optional<std::string_view> location;
    bool acceptRanges = false;  // only documents honour ranges
    std::string_view more;      // further lines, after Content-Length and Expires
};

// Status line, then [Location], Content-Type, [Accept-Ranges],
// Content-Length, [Expires] and the further lines, as a reply value.
Reply StandardReply(const HeadLines& lines);

// A generated HTML page (UTF-8) with an Expires line dated now.
Reply PageReply(Status status, std::string body, Clock::time_point now);

inline constexpr std::string_view kPageType = "text/html; charset=utf-8";

// The head on the wire: status line, Server, Date, the reply's own lines,
// then Connection when it says something ("close", or "keep-alive" to an
// HTTP/1.0 client), and the empty line.
std::string RenderHead(const Reply& reply, std::string_view date, std::string_view connection);

}  // namespace quorvane::responses
