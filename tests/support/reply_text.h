#pragma once

#include <string>
#include <string_view>

#include "http/response.h"

namespace quorvane::testing {

// The Date every head rendered here carries, so whole heads can be compared.
inline constexpr std::string_view kTestDate = "Sun, 01 Mar 2026 09:00:00 GMT";

// The head as the connection would send it before closing, dated kTestDate.
std::string HeadText(const http::Response& response);
// The bytes a response puts on the wire: head, then its body (in memory, or
// read from its file).
std::string WireText(const http::Response& response);
std::string BodyText(const http::Response& response);

// The status line of a head ("HTTP/1.1 200 OK").
std::string StatusLineOf(const std::string& head);
std::string StatusLineOf(const http::Response& response);

}  // namespace quorvane::testing
