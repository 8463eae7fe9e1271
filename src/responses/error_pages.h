#pragma once

#include <string>
#include <string_view>

#include "responses/request_scope.h"
#include "responses/standard_response.h"

namespace quorvane::responses {

enum class ErrorCode { k401, k404, k404_1, k404_2, k404_3, k404_4 };

// The page configured for the code under [ErrorPages], sent with the code's
// real status; a missing or unreadable page file gets a built-in page instead.
// Nothing is ever created on disk.
http::Response SendErrorPage(ErrorCode code, const RequestScope& scope);

// The twelve-line notice page shared by every built-in page.
std::string NoticePageBody(std::string_view title, std::string_view heading,
                           std::string_view message);

// The fixed notice pages depend on nothing but the moment (their Expires line).
http::Response SendMalformedUrlPage(Clock::time_point now);
http::Response SendCgiErrorPage(Clock::time_point now);
http::Response SendPerlDisabledPage(Clock::time_point now);
http::Response SendPerlMissingPage(Clock::time_point now);
http::Response SendTooLargePage(Clock::time_point now);
http::Response SendNotImplementedPage(Clock::time_point now);
http::Response SendBusyPage(Clock::time_point now);
// 429 to a client whose sign-ins wait after too many wrong passwords.
http::Response SendTooManySignInsPage(std::chrono::seconds wait, Clock::time_point now);
// 503 while a file that guards the site cannot be read.
http::Response SendUnavailablePage(Clock::time_point now);
http::Response SendRequestErrorPage(Status status, Clock::time_point now);

}  // namespace quorvane::responses
