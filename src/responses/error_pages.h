#pragma once

#include <string>
#include <string_view>

#include "responses/reply.h"
#include "responses/request_scope.h"

namespace quorvane::responses {

enum class ErrorCode { k404, k404_1, k404_2, k404_3, k404_4 };

// The page configured for the code under [ErrorPages], sent with the code's
// real status; a missing or unreadable page file gets a built-in page instead.
// Nothing is ever created on disk.
Reply SendErrorPage(ErrorCode code, const RequestScope& scope);

// The twelve-line notice page shared by every built-in page.
std::string NoticePageBody(std::string_view title, std::string_view heading,
                           std::string_view message);

Reply SendMalformedUrlPage(const RequestScope& scope);
Reply SendCgiErrorPage(const RequestScope& scope);
Reply SendPerlDisabledPage(const RequestScope& scope);
Reply SendPerlMissingPage(const RequestScope& scope);
Reply SendTooLargePage(const RequestScope& scope);
Reply SendNotImplementedPage(const RequestScope& scope);

}  // namespace quorvane::responses
