#include "responses/standard_response.h"

#include "responses/date_text.h"

namespace quorvane::responses {

http::Response StandardResponse(const HeadLines& lines) {
    http::Response response(lines.status);
    if (lines.location) {
        response.fields.Add("Location", *lines.location);
    }
    response.fields.Add("Content-Type", lines.contentType);
    if (lines.acceptRanges) {
        response.fields.Add("Accept-Ranges", "bytes");
    }
    response.LengthHere();
    if (lines.expires) {
        response.fields.Add("Expires", ExpiryDateText(*lines.expires));
    }
    return response;
}

http::Response PageResponse(Status status, std::string body, Clock::time_point now) {
    http::Response response =
        StandardResponse({.status = status,
                          .contentType = kPageType,
                          .expires = std::chrono::floor<std::chrono::seconds>(now)});
    response.body = std::move(body);
    return response;
}

}  // namespace quorvane::responses
