#include "responses/error_pages.h"

#include <algorithm>

#include "config/setting_keys.h"

namespace quorvane::responses {

namespace setting = config::setting;

namespace {

struct ErrorPageRule {
    const config::SettingKey& key;
    Status status;
    std::string_view message;
};

constexpr std::string_view kNotFoundMessage =
    "<p>The requested document could not be found on this server.</p>";
constexpr std::string_view kRefusedMessage =
    "<p>Access to this resource is not allowed from your address.</p>";

ErrorPageRule RuleFor(ErrorCode code) {
    switch (code) {
        case ErrorCode::k401:
            return {setting::k401Error, Status::kUnauthorized,
                    "<p>This page needs a user name and password.</p>"};
        case ErrorCode::k404:
            return {setting::k404Error, Status::kNotFound, kNotFoundMessage};
        case ErrorCode::k404_1:
            return {setting::k404_1Error, Status::kForbidden, kRefusedMessage};
        case ErrorCode::k404_2:
            return {setting::k404_2Error, Status::kForbidden,
                    "<p>CGI scripting is not enabled on this server.</p>"};
        case ErrorCode::k404_3:
            return {setting::k404_3Error, Status::kForbidden, kRefusedMessage};
        case ErrorCode::k404_4:
            return {setting::k404_4Error, Status::kNotFound, kNotFoundMessage};
    }
    return {setting::k404Error, Status::kNotFound, kNotFoundMessage};
}

std::string Heading(std::string_view text) {
    return "<h1><font face='Times New Roman'>" + std::string(text) + "</font></h1>";
}

std::string Bold(std::string_view text) {
    return "<p><b>" + std::string(text) + "</b></p>";
}

std::string NoticePage(std::string_view title, std::string_view heading, std::string_view bold,
                       std::string_view message) {
    std::string body = "<html>\r\n<head>\r\n<title>";
    body += title;
    body += "</title>\r\n</head>\r\n";
    body += Heading(heading) + "\r\n";
    body += Bold(bold) + "\r\n";
    body += message;
    body +=
        "\r\n<p>&nbsp;</p>\r\n<p>&nbsp;</p>\r\n"
        "<p><i><font size='2'>Quorvane 2000 Web Server</font></i><br>\r\n</p>\r\n</html>";
    return body;
}

constexpr std::string_view kInternalErrorTitle = "Quorvane2000 Internal Server Error";
constexpr std::string_view kPerlTitle = "Quorvane2000 Perl Error";
constexpr std::string_view kRequestErrorTitle = "Quorvane2000 Request Error";

}  // namespace

std::string NoticePageBody(std::string_view title, std::string_view heading,
                           std::string_view message) {
    return NoticePage(title, heading, heading, message);
}

http::Response SendErrorPage(ErrorCode code, const RequestScope& scope) {
    const ErrorPageRule rule = RuleFor(code);
    const std::string configured = config::ServerValue(scope.settings, rule.key);
    // The page is read once and kept, like the lists, until its file changes.
    const auto page = scope.snapshots.Get<config::PageText>(scope.folder.Resolve(configured));
    if (*page) {
        http::Response response =
            StandardResponse({.status = rule.status,
                              .contentType = "text/html",
                              .expires = std::chrono::floor<std::chrono::seconds>(scope.now)});
        response.body = std::shared_ptr<const std::string>(page, &**page);
        return response;
    }
    const std::string_view reason = ReasonPhrase(rule.status);
    return PageResponse(rule.status, NoticePageBody("Quorvane2000 Error", reason, rule.message),
                        scope.now);
}

http::Response SendMalformedUrlPage(Clock::time_point now) {
    return PageResponse(
        Status::kBadRequest,
        NoticePage(kInternalErrorTitle, "Malformed URL", "Malformed URL",
                   "<p>You have supplied a malformed URL. Directory Traversal is not allowed on "
                   "this server.</p>"),
        now);
}

http::Response SendCgiErrorPage(Clock::time_point now) {
    return PageResponse(Status::kInternalServerError,
                        NoticePageBody(kInternalErrorTitle, "Error Processing CGI Script",
                                       "<p>Quorvane2000 encountered an error processing the "
                                       "requested CGI Script. Please restart Quorvane2000.</p>"),
                        now);
}

http::Response SendPerlDisabledPage(Clock::time_point now) {
    return PageResponse(Status::kForbidden,
                        NoticePage(kPerlTitle, "Perl Error", "Error Executing Perl Script",
                                   "<p>Quorvane2000 encountered an error trying to execute a Perl "
                                   "Script. Perl Scripting Not Enabled.</p>"),
                        now);
}

http::Response SendPerlMissingPage(Clock::time_point now) {
    return PageResponse(Status::kInternalServerError,
                        NoticePage(kPerlTitle, "Perl Error", "Error Executing Perl Script",
                                   "<p>Quorvane2000 encountered an error trying to execute a Perl "
                                   "Script. The Perl Interpreter could not be found.</p>"),
                        now);
}

http::Response SendTooLargePage(Clock::time_point now) {
    return PageResponse(
        Status::kContentTooLarge,
        NoticePageBody(kRequestErrorTitle, "Request Too Large",
                       "<p>The request body is larger than this server accepts.</p>"),
        now);
}

http::Response SendNotImplementedPage(Clock::time_point now) {
    return PageResponse(Status::kNotImplemented,
                        NoticePageBody(kRequestErrorTitle, "Method Not Implemented",
                                       "<p>This server does not support the requested method.</p>"),
                        now);
}

http::Response SendBusyPage(Clock::time_point now) {
    return PageResponse(Status::kServiceUnavailable,
                        NoticePageBody(kRequestErrorTitle, "Server Busy",
                                       "<p>The server is too busy to take this request now. Please "
                                       "try again in a moment.</p>"),
                        now);
}

http::Response SendTooManySignInsPage(std::chrono::seconds wait, Clock::time_point now) {
    http::Response response =
        PageResponse(Status::kTooManyRequests,
                     NoticePageBody(kRequestErrorTitle, "Too Many Wrong Passwords",
                                    "<p>Too many wrong passwords came from your address. Please "
                                    "wait a moment, then try again.</p>"),
                     now);
    response.fields.Add("Retry-After", std::to_string(std::max<int64_t>(1, wait.count())));
    return response;
}

http::Response SendUnavailablePage(Clock::time_point now) {
    http::Response response = PageResponse(
        Status::kServiceUnavailable,
        NoticePageBody(kRequestErrorTitle, "Server Unavailable",
                       "<p>The server cannot read its settings just now. Please try again in a "
                       "moment.</p>"),
        now);
    response.fields.Add("Retry-After", "5");
    return response;
}

http::Response SendRequestErrorPage(Status status, Clock::time_point now) {
    return PageResponse(status,
                        NoticePageBody(kRequestErrorTitle, ReasonPhrase(status),
                                       "<p>The server could not understand this request.</p>"),
                        now);
}

}  // namespace quorvane::responses
