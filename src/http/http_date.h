#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::http {

// The preferred HTTP date: "Sun, 06 Nov 1994 08:49:37 GMT", real GMT and
// English names whatever the locale. Times before year 1 or after 9999 are
// held at those years' ends, so the text always has its fixed shape.
std::string HttpDateText(std::chrono::sys_seconds when);

// A date in any of the three forms clients send: the one above, the old
// "Sunday, 06-Nov-94 08:49:37 GMT" and C's "Sun Nov  6 08:49:37 1994". Names
// and "GMT" are matched with their letter case, as written; the weekday is
// not checked against the date. A two-digit year that would lie more than 50
// years after `now` means the century before. Anything else, an impossible
// date included, gives nothing.
std::optional<std::chrono::sys_seconds> ParseHttpDate(std::string_view text,
                                                      std::chrono::sys_seconds now);

}  // namespace quorvane::http
