#pragma once

#include <string>
#include <string_view>

#include "responses/reply.h"
#include "responses/request_scope.h"

namespace quorvane::responses {

enum class ErrorCode { k401, k404, k404_1, k404_2, k404_3, k404_4 };

// The page configured for the code under [ErrorPages], sent with the code's
// real status; a missing or unreadable page file gets a built-in page instead.
// Nothing is ever created on disk.
Reply SendErrorPage(ErrorCode code, const RequestScope& scope);

// The twelve-line notice page shared by every built-in page.
std::string NoticePageBody(std::string_view title, std::string_view heading,
                           std::string_view message);

// The fixed notice pages depend on nothing but the moment (their Expires line).
Reply SendMalformedUrlPage(Clock::time_point now);
Reply SendCgiErrorPage(Clock::time_point now);
Reply SendPerlDisabledPage(Clock::time_point now);
Reply SendPerlMissingPage(Clock::time_point now);
Reply SendTooLargePage(Clock::time_point now);
Reply SendNotImplementedPage(Clock::time_point now);
Reply SendBusyPage(Clock::time_point now);
// 429 to a client whose sign-ins wait after too many wrong passwords.
Reply SendTooManySignInsPage(std::chrono::seconds wait, Clock::time_point now);
// 503 while a file that guards the site cannot be read.
Reply SendUnavailablePage(Clock::time_point now);
Reply SendRequestErrorPage(Status status, Clock::time_point now);

}  // namespace quorvane::responses
