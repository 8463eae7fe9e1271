#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::server {

// The order matches the method names the CGI gateway is given.
enum class Method { kGet, kHead, kPost, kOther };

// A request as cut from its head: the request line as received, the method,
// and the path split into directory and document.
struct Request {
    Method method = Method::kOther;
    std::string requestLine;  // up to and including its closing CR, as received
    std::string rawPath;      // the request-target, undecoded
    std::string directory;    // decoded; "/" at least
    std::string document;     // decoded part before "?"; "Default" when the path has no "."
    std::string query;        // what follows the first "?" of the document, undecoded
    bool malformed = false;   // traversal or a control character: answered 400
};

// Cuts method, request line and path from the head. A path without "." names
// a folder (document "Default"); otherwise the document starts after the "/"
// before the first ".", so a query stays with the document and a dot in a
// folder name moves the split to the slash before it.
Request ParseRequest(std::string_view head);

// The body length a POST announces: Content-Length's leading digits, 0 when
// absent or not a number.
size_t ContentLength(std::string_view head);

// Percent-decodes a path; nothing when an escape is cut short or not hex.
std::optional<std::string> PercentDecode(std::string_view text);

// Where the head ends: the index just past its empty line (CR LF CR LF or
// LF LF), or nothing while it has not arrived.
std::optional<size_t> FindHeadEnd(std::string_view received);

}  // namespace quorvane::server
