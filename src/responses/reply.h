#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/file_handle.h"

namespace quorvane::responses {

enum class Status {
    kOk,
    kFound,
    kBadRequest,
    kForbidden,
    kNotFound,
    kContentTooLarge,
    kInternalServerError,
    kNotImplemented,
    kServiceUnavailable,
};

std::string_view StatusLine(Status status);    // "HTTP/1.1 404 Not Found"
std::string_view ReasonPhrase(Status status);  // "Not Found"

// What a responder hands to the connection: the head, then either a body held
// in memory or an open file streamed after the head. Responders never see the
// socket.
struct Reply {
    std::string head;
    std::string body;
    config::FileHandle file;
    uint64_t fileSize = 0;

    uint64_t BodySize() const { return file ? fileSize : body.size(); }
};

using Clock = std::chrono::system_clock;

struct HeadLines {
    Status status = Status::kOk;
    std::string_view contentType;
    uint64_t contentLength = 0;
    std::optional<std::chrono::sys_seconds> expires;
    std::optional<std::string_view> location;
};

// Status line, Server, [Location], Content-Type, Accept-Ranges,
// Content-Length, [Expires], Connection: close, then the empty line.
std::string StandardHead(const HeadLines& lines);

// A generated HTML page with an Expires line dated now.
Reply PageReply(Status status, std::string body, Clock::time_point now);

// The challenge: no body, no content lines.
std::string ChallengeHead(std::string_view realm);

}  // namespace quorvane::responses
