#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane::exporting {

// `text` as one quoted nginx argument, or nothing when it cannot be one: a
// control character breaks the line, and a "$" would be read as a variable
// by the directives that take paths, realms and texts.
std::optional<std::string> Quoted(std::string_view text);

// `text` as a literal inside a PCRE pattern (every character that is not a
// letter, a digit, "/" or "_" is escaped), nothing where `Quoted` refuses.
std::optional<std::string> RegexLiteral(std::string_view text);

// A client address nginx's deny takes as it stands: IPv4 or IPv6 digits,
// dots and colons (the server matches whole addresses, never networks).
bool IsAddressRule(std::string_view entry);

}  // namespace quorvane::exporting
