#pragma once

#include <string>

#include "responses/reply.h"

namespace quorvane::testing {

// The bytes a reply puts on the wire: head, then the body or the whole file.
std::string WireText(const responses::Reply& reply);
std::string BodyText(const responses::Reply& reply);

// The status line of a head ("HTTP/1.1 200 OK").
std::string StatusLineOf(const std::string& head);

}  // namespace quorvane::testing
