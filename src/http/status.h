#pragma once

#include <cstdint>
#include <string_view>

namespace quorvane::http {

// The statuses this server states itself; a script may state any other.
enum class Status : uint16_t {
    kOk = 200,
    kCreated = 201,
    kNoContent = 204,
    kPartialContent = 206,
    kMultiStatus = 207,
    kMovedPermanently = 301,
    kFound = 302,
    kNotModified = 304,
    kTemporaryRedirect = 307,
    kBadRequest = 400,
    kUnauthorized = 401,
    kForbidden = 403,
    kNotFound = 404,
    kMethodNotAllowed = 405,
    kConflict = 409,
    kLengthRequired = 411,
    kPreconditionFailed = 412,
    kContentTooLarge = 413,
    kUnsupportedMediaType = 415,
    kRangeNotSatisfiable = 416,
    kLocked = 423,
    kFailedDependency = 424,
    kTooManyRequests = 429,
    kHeaderFieldsTooLarge = 431,
    kInternalServerError = 500,
    kNotImplemented = 501,
    kBadGateway = 502,
    kServiceUnavailable = 503,
    kVersionNotSupported = 505,
    kInsufficientStorage = 507,
};

// The standard reason phrase of a code ("Not Found"); empty for a code this
// server does not know.
std::string_view ReasonPhrase(int code);
inline std::string_view ReasonPhrase(Status status) {
    return ReasonPhrase(static_cast<int>(status));
}

// 1xx, 204 and 304 end with their head, whatever the request was.
inline bool StatusAllowsBody(int code) {
    return code >= 200 && code != 204 && code != 304;
}

}  // namespace quorvane::http
