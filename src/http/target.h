#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::http {

// A request-target taken apart: the path as decoded segments and the raw
// query. No segment is empty, ".", or "..", and none holds "/", "\", NUL or
// another control character, so a path built by joining them onto a folder
// can never leave that folder.
struct RequestTarget {
    std::vector<std::string> segments;
    std::string query;          // what follows the first "?", undecoded
    bool endsWithSlash = true;  // the path names a folder explicitly ("/" does)
};

// Nothing for a target that is malformed: not beginning with "/" (after an
// absolute-form "http://host" is cut off), a broken escape, a ".." segment,
// or a segment whose decoded text holds a separator or a control character.
std::optional<RequestTarget> ParseTarget(std::string_view target);

// The decoded path of a target as text: "/" plus the segments joined by "/",
// with a final "/" when the target ended with one.
std::string PathText(const RequestTarget& target);

}  // namespace quorvane::http
