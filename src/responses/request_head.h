#pragma once

#include <functional>
#include <optional>
#include <string_view>

namespace quorvane::responses {

// The value of the first header line of that name (letter case ignored, at a
// line start after the request line), without blanks around it; nothing when
// there is none.
std::optional<std::string_view> GetHeaderValue(std::string_view head, std::string_view name);

// Calls `visit` with the name and trimmed value of every header line.
void ForEachHeader(std::string_view head,
                   const std::function<void(std::string_view name, std::string_view value)>& visit);

}  // namespace quorvane::responses
