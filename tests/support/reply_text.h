#pragma once

#include <string>
#include <string_view>

#include "responses/reply.h"

namespace quorvane::testing {

// The Date every head rendered here carries, so whole heads can be compared.
inline constexpr std::string_view kTestDate = "Sun, 01 Mar 2026 09:00:00 GMT";

// The head as the connection would send it before closing, dated kTestDate.
std::string HeadText(const responses::Reply& reply);
// The bytes a reply puts on the wire: head, then its body (in memory, the
// file slice, or the parts).
std::string WireText(const responses::Reply& reply);
std::string BodyText(const responses::Reply& reply);

// The status line of a head ("HTTP/1.1 200 OK").
std::string StatusLineOf(const std::string& head);
std::string StatusLineOf(const responses::Reply& reply);

}  // namespace quorvane::testing
