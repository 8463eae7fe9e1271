#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::dav {

// One condition of an If header list: a state token ("<opaquelocktoken:…>",
// "<DAV:no-lock>") or an entity tag ("[\"…\"]"), perhaps negated.
struct IfCondition {
    bool negated = false;
    bool entityTag = false;
    std::string value;  // the token's URI, or the tag with its quotes
};

// A list of conditions that all must hold, for the resource its tag names
// (an absolute URL or a path), or for the request's own target when untagged.
struct IfList {
    std::optional<std::string> resource;
    std::vector<IfCondition> conditions;
};

// The If header (RFC 4918 section 10.4) as its lists; nothing when it does
// not follow the grammar.
std::optional<std::vector<IfList>> ParseIfHeader(std::string_view value);

// Every lock token the header names, which is how a client submits the
// tokens of the locks it holds.
std::vector<std::string> SubmittedTokens(const std::vector<IfList>& lists);

}  // namespace quorvane::dav
