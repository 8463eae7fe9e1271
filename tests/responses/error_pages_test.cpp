#include "responses/error_pages.h"

#include <gtest/gtest.h>

#include "support/reply_text.h"
#include "support/temp_folder.h"

namespace quorvane::responses {
namespace {

using namespace std::chrono;

class ErrorPagesTest : public ::testing::Test {
  protected:
    RequestScope Scope(std::string_view settingsText) {
        config_.settings =
            std::make_shared<const config::Settings>(config::Settings::Parse(settingsText));
        return RequestScope{program_, config_, host_, now_, snapshots_};
    }

    testing::TempFolder folder_;
    config::ProgramFolder program_ = folder_.Program();
    config::Configuration config_;
    config::ConfigSnapshots snapshots_;
    HostIdentity host_{"host", "10.0.0.2"};
    Clock::time_point now_ = sys_days{year{2026} / March / 1} + hours(9);
};

TEST_F(ErrorPagesTest, ConfiguredPageIsSentUnchangedWithItsRealStatus) {
    folder_.Write("pages/missing.txt", "not html at all");
    const http::Response reply =
        SendErrorPage(ErrorCode::k404, Scope("[ErrorPages]\n404Error=pages/missing.txt"));
    EXPECT_EQ(testing::WireText(reply),
              "HTTP/1.1 404 Not Found\r\nServer: Quorvane2000\r\n"
              "Date: Sun, 01 Mar 2026 09:00:00 GMT\r\nContent-Type: text/html\r\n"
              "Content-Length: 15\r\nExpires: Sun, 1 Mar 2026 09:00:00 GMT\r\n"
              "Connection: close\r\n\r\nnot html at all");
}

TEST_F(ErrorPagesTest, EachCodeReadsItsOwnKeyAndDefaultFile) {
    folder_.Write("404.htm", "a");
    folder_.Write("4041.htm", "b");
    folder_.Write("4042.htm", "c");
    folder_.Write("4043.htm", "d");
    folder_.Write("4044.htm", "e");
    folder_.Write("custom.htm", "f");
    const auto scope = Scope("[ErrorPages]\n404.4Error=custom.htm");
    const std::pair<ErrorCode, std::string> expected[] = {
        {ErrorCode::k404, "HTTP/1.1 404 Not Found a"},
        {ErrorCode::k404_1, "HTTP/1.1 403 Forbidden b"},
        {ErrorCode::k404_2, "HTTP/1.1 403 Forbidden c"},
        {ErrorCode::k404_3, "HTTP/1.1 403 Forbidden d"},
        {ErrorCode::k404_4, "HTTP/1.1 404 Not Found f"}};
    for (const auto& [code, text] : expected) {
        const http::Response reply = SendErrorPage(code, scope);
        EXPECT_EQ(testing::StatusLineOf(reply) + " " + testing::BodyText(reply), text);
    }
}

TEST_F(ErrorPagesTest, MissingPageGetsABuiltInPageAndCreatesNothing) {
    const http::Response reply = SendErrorPage(ErrorCode::k404_2, Scope(""));
    EXPECT_EQ(testing::StatusLineOf(reply), "HTTP/1.1 403 Forbidden");
    EXPECT_NE(testing::BodyText(reply).find("<p>CGI scripting is not enabled on this server.</p>"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "4042.htm"));
    // A folder named as the page is no page either.
    std::filesystem::create_directory(folder_.Path() / "404.htm");
    EXPECT_NE(
        testing::BodyText(SendErrorPage(ErrorCode::k404, Scope(""))).find("could not be found"),
        std::string::npos);
}

TEST_F(ErrorPagesTest, NoticePagesAreTwelveLinesWithoutAFinalLineEnd) {
    const std::pair<http::Response, std::string> pages[] = {
        {SendMalformedUrlPage(now_), "HTTP/1.1 400 Bad Request"},
        {SendCgiErrorPage(now_), "HTTP/1.1 500 Internal Server Error"},
        {SendPerlDisabledPage(now_), "HTTP/1.1 403 Forbidden"},
        {SendPerlMissingPage(now_), "HTTP/1.1 500 Internal Server Error"},
        {SendTooLargePage(now_), "HTTP/1.1 413 Content Too Large"},
        {SendNotImplementedPage(now_), "HTTP/1.1 501 Not Implemented"}};
    for (const auto& [page, status] : pages) {
        const std::string body = testing::BodyText(page);
        const std::string head = testing::HeadText(page);
        EXPECT_EQ(testing::StatusLineOf(page), status);
        EXPECT_EQ(std::count(body.begin(), body.end(), '\n'), 11) << status;
        EXPECT_TRUE(body.ends_with("</html>")) << status;
        EXPECT_NE(head.find("Content-Length: " + std::to_string(body.size()) + "\r\n"),
                  std::string::npos);
        EXPECT_NE(head.find("Expires: Sun, 1 Mar 2026 09:00:00 GMT"), std::string::npos);
    }
}

}  // namespace
}  // namespace quorvane::responses
