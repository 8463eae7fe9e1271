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

}  // namespace quorvane::responses
