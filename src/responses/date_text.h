#pragma once

#include <chrono>
#include <string>

namespace quorvane::responses {

// Dates are written with English day and month names, whatever the locale.

// "Sun, 1 Mar 2026 09:05:03 GMT", in real GMT.
std::string ExpiryDateText(std::chrono::sys_seconds when);

// "05/Dec/2026:15:46:09", local time, for the access log.
std::string AccessLogDateText(std::chrono::system_clock::time_point when);

// "2026-12-05 15:46:09" in local time; a time of exactly midnight leaves the
// date alone. Used for listings and the start time.
std::string LocalDateTimeText(std::chrono::system_clock::time_point when);

// "2026-12-05 15:46:09" in local time, midnight included.
std::string LocalTimestampText(std::chrono::system_clock::time_point when);

// "2026-12-05T15:46:09Z": ISO 8601 in UTC, for machines.
std::string UtcTimestampText(std::chrono::system_clock::time_point when);

// A date as a person reads it against `now`, in local time: "today 14:03",
// "yesterday 14:03", "3 Mar" earlier this year, "3 Mar 2024" before that.
// A date after `now` is named in full ("3 Mar 2027"), as a clock or copy
// gone wrong, never as "today".
std::string ReadableDateText(std::chrono::system_clock::time_point when,
                             std::chrono::system_clock::time_point now);

}  // namespace quorvane::responses
