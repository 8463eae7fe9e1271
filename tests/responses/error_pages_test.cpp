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

// A configured page is sent unchanged, as HTML whatever its name, with its real status.
TEST_F(ErrorPagesTest, EachCodeReadsItsOwnKeyAndDefaultFile) {
    folder_.Write("404.htm", "a");
    folder_.Write("4041.htm", "b");
    folder_.Write("4042.htm", "c");
    folder_.Write("4043.htm", "d");
    folder_.Write("4044.htm", "e");
    folder_.Write("pages/custom.txt", "not html at all");
    const auto scope = Scope("[ErrorPages]\n404.4Error=pages/custom.txt");
    const std::tuple<ErrorCode, int, std::string> expected[] = {
        {ErrorCode::k404, 404, "a"},
        {ErrorCode::k404_1, 403, "b"},
        {ErrorCode::k404_2, 403, "c"},
        {ErrorCode::k404_3, 403, "d"},
        {ErrorCode::k404_4, 404, "not html at all"}};
    for (const auto& [code, status, body] : expected) {
        const http::Response reply = SendErrorPage(code, scope);
        EXPECT_EQ(reply.code, status) << body;
        EXPECT_EQ(testing::BodyText(reply), body);
        EXPECT_EQ(reply.Field("Content-Type"), "text/html") << body;
        EXPECT_EQ(reply.Field("Expires"), "Sun, 1 Mar 2026 09:00:00 GMT") << body;
    }
}

TEST_F(ErrorPagesTest, MissingPageGetsABuiltInPageAndCreatesNothing) {
    const http::Response reply = SendErrorPage(ErrorCode::k404_2, Scope(""));
    EXPECT_EQ(reply.code, 403);
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
    const std::pair<http::Response, int> pages[] = {
        {SendMalformedUrlPage(now_), 400}, {SendCgiErrorPage(now_), 500},
        {SendPerlDisabledPage(now_), 403}, {SendPerlMissingPage(now_), 500},
        {SendTooLargePage(now_), 413},     {SendNotImplementedPage(now_), 501}};
    for (const auto& [page, status] : pages) {
        const std::string body = testing::BodyText(page);
        EXPECT_EQ(page.code, status);
        EXPECT_EQ(std::count(body.begin(), body.end(), '\n'), 11) << status;
        EXPECT_TRUE(body.ends_with("</html>")) << status;
        EXPECT_EQ(page.Field("Expires"), "Sun, 1 Mar 2026 09:00:00 GMT") << status;
    }
}

}  // namespace
}  // namespace quorvane::responses
