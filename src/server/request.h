#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "responses/request_target.h"

namespace quorvane::server {

// The order matches the method names the CGI gateway is given.
enum class Method { kGet, kHead, kPost, kOther };

// A request as cut from its head: the request line as received, the method,
// and the target taken apart.
struct Request {
    Method method = Method::kOther;
    std::string requestLine;      // up to and including its closing CR; empty for another method
    std::string_view methodName;  // "GET", "HEAD", "POST"; empty otherwise
    std::optional<responses::RequestTarget> target;  // nothing when malformed
};

// Cuts method, request line and target from the head. The method is the
// whole first word, letter case significant.
Request ParseRequest(std::string_view head);

// The request line up to and including its CR, whatever the method; a line
// ended by LF alone is taken up to the LF.
std::string RequestLineOf(std::string_view head);

// The body length a POST announces: Content-Length's leading digits, 0 when
// absent or not a number.
size_t ContentLength(std::string_view head);

// Where the head ends: the index just past its empty line (CR LF CR LF or
// LF LF), or nothing while it has not arrived.
std::optional<size_t> FindHeadEnd(std::string_view received);

}  // namespace quorvane::server
