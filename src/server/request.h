#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "http/target.h"

namespace quorvane::server {

// The order matches the method names the CGI gateway is given.
enum class Method { kGet, kHead, kPost, kOther };

enum class LineProblem {
    kNone,
    kMalformed,            // not "method target HTTP/x.y", or a header line out of form: 400
    kVersionNotSupported,  // a version other than HTTP/1.x: 505
};

// How the head says its body ends.
struct BodyFraming {
    enum class Kind { kNone, kLength, kChunked, kInvalid } kind = Kind::kNone;
    uint64_t length = 0;  // for kLength
};

// A request as cut from its head.
struct Request {
    Method method = Method::kOther;
    std::string requestLine;      // up to and including its closing CR, as received
    std::string_view methodName;  // "GET", "HEAD", "POST"; empty for another method
    LineProblem problem = LineProblem::kNone;
    bool http10 = false;     // an HTTP/1.0 request (else HTTP/1.1 or later 1.x)
    bool keepAlive = false;  // the client would keep the connection for more
    bool expectContinue = false;
    int hostLines = 0;
    BodyFraming body;
    std::optional<http::RequestTarget> target;  // nothing when malformed
};

// Cuts the request line into method, target and version, and reads the
// header lines the connection's framing and persistence depend on.
Request ParseRequest(std::string_view head);

// The request line up to and including its CR; a line ended by LF alone is
// taken up to the LF.
std::string RequestLineOf(std::string_view head);

// Where the head ends: the index just past its empty line (LF LF, or LF CR
// LF, whatever ended the line before), or nothing while it has not arrived.
std::optional<size_t> FindHeadEnd(std::string_view received);

}  // namespace quorvane::server
