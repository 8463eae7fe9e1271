#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "http/response.h"

namespace quorvane::responses {

using Clock = std::chrono::system_clock;
using http::Status;

// The lines a document or page reply states, in their order: Location,
// Content-Type, Accept-Ranges, Content-Length (from the body), Expires.
struct HeadLines {
    Status status = Status::kOk;
    std::string_view contentType;
    std::optional<std::chrono::sys_seconds> expires;
    std::optional<std::string_view> location;
    bool acceptRanges = false;  // only documents honour ranges
};
http::Response StandardResponse(const HeadLines& lines);

// A generated HTML page (UTF-8) with an Expires line dated now.
http::Response PageResponse(Status status, std::string body, Clock::time_point now);

inline constexpr std::string_view kPageType = "text/html; charset=utf-8";

}  // namespace quorvane::responses
