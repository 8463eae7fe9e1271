#include "server/request_handler.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "config/list_files.h"
#include "support/reply_text.h"
#include "support/test_site.h"

namespace quorvane::server {
namespace {

class RequestHandlerTest : public ::testing::Test, public testing::TestSite {
  protected:
    RequestHandlerTest() {
        config::CreateDirsList(program);
        folder.Write("quorvane.ini", "[HomePage]\r\nRootDirectory=www\r\n");
        folder.Write("www/index.htm", "home");
    }

    static std::string Status(const Outcome& outcome) {
        return testing::StatusLineOf(outcome.reply);
    }
};

TEST_F(RequestHandlerTest, DocumentRequestIsLoggedAndServed) {
    const Outcome outcome = Handle("GET / HTTP/1.0\r\nHost: x\r\n\r\n");
    EXPECT_EQ(Status(outcome), "HTTP/1.1 200 OK");
    EXPECT_EQ(testing::BodyText(outcome.reply), "home");
    EXPECT_EQ(outcome.logView, " For Document: Default\r\n");
    ASSERT_TRUE(outcome.accessLogLine.has_value());
    EXPECT_EQ(outcome.accessLogLine->substr(0, 10), "10.0.0.7,[");
    EXPECT_EQ(outcome.accessLogLine->substr(outcome.accessLogLine->size() - 17),
              "],GET / HTTP/1.0\r");
}

TEST_F(RequestHandlerTest, RefusalsAreRecordedToo) {
    folder.Write("iplist.lst", "\"10.0.0.70\"\r\n\"10.0.0.7\"\r\n");
    const Outcome blocked = Handle("GET / HTTP/1.0\r\n\r\n");
    EXPECT_EQ(Status(blocked), "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(blocked.logView, " ** IP Blocked **\r\n");
    EXPECT_NE(blocked.accessLogLine->find("],GET / HTTP/1.0\r"), std::string::npos);
    EXPECT_EQ(Status(Handle("GET / HTTP/1.0\r\n\r\n", "10.0.0.71")), "HTTP/1.1 200 OK");

    const Outcome traversal = Handle("GET /%2e%2e/quorvane.ini HTTP/1.0\r\n\r\n", "10.0.0.71");
    EXPECT_EQ(Status(traversal), "HTTP/1.1 400 Bad Request");
    EXPECT_TRUE(traversal.accessLogLine.has_value());

    const Outcome other = Handle("PUT /index.htm HTTP/1.1\r\n\r\n", "10.0.0.71");
    EXPECT_EQ(Status(other), "HTTP/1.1 501 Not Implemented");
    EXPECT_EQ(other.accessLogLine->back(), ',');
    EXPECT_EQ(
        Status(Handle("POST /index.htm HTTP/1.0\r\nContent-Length: 99999999\r\n\r\n", "10.0.0.71")),
        "HTTP/1.1 413 Content Too Large");
}

TEST_F(RequestHandlerTest, AFolderIsNamedWithItsFinalSlash) {
    folder.Write("www/my docs/index.htm", "docs");
    folder.Write("www/private/index.htm", "private");
    folder.Write("dirs.lst",
                 "\"/\",\"www\",\"No\",\"No\",\"No\"\r\n"
                 "\"/private/\",\"www/private\",\"Yes\",\"No\",\"No\"\r\n");
    const Outcome moved = Handle("GET /my%20docs?sort=name HTTP/1.0\r\n\r\n");
    EXPECT_EQ(Status(moved), "HTTP/1.1 301 Moved Permanently");
    EXPECT_EQ(moved.reply.Field("Location"), "/my%20docs/?sort=name");
    // The query keeps its own escapes; raw control and non-ASCII bytes are encoded.
    const Outcome raw =
        Handle(std::string("GET /my%20docs?a=%41&b=\x01\xA2\t<x> HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(raw.reply.Field("Location"), "/my%20docs/?a=%41&b=%01%A2%09%3Cx%3E");
    EXPECT_EQ(testing::BodyText(Handle("GET /my%20docs/?sort=name HTTP/1.0\r\n\r\n").reply),
              "docs");
    // A stranger learns nothing of what a secure folder holds.
    EXPECT_EQ(Status(Handle("GET /private HTTP/1.0\r\n\r\n")), "HTTP/1.1 401 Unauthorized");
}

TEST_F(RequestHandlerTest, RedirectedSiteAnswersEveryRequestWithTheRedirect) {
    folder.Write("quorvane.ini",
                 "[HomePage]\r\nSiteLocation=Redirect\r\nRootDirectory=http://example.org/\r\n");
    for (std::string_view head : {"GET /x.htm HTTP/1.0\r\n\r\n", "DELETE / HTTP/1.1\r\n\r\n",
                                  "GET /../x HTTP/1.0\r\n\r\n"}) {
        const Outcome outcome = Handle(head);
        EXPECT_EQ(Status(outcome), "HTTP/1.1 302 Found");
        EXPECT_EQ(outcome.reply.Field("Location"), "http://example.org/");
        EXPECT_FALSE(outcome.accessLogLine.has_value());
    }
    folder.Write("quorvane.ini", "[HomePage]\r\nSiteLocation=redir\r\nRootDirectory=www\r\n");
    EXPECT_EQ(Status(Handle("GET / HTTP/1.0\r\n\r\n")), "HTTP/1.1 200 OK");
}

TEST_F(RequestHandlerTest, HeadSendsTheSameHeadWithoutBody) {
    const Outcome get = Handle("GET /index.htm HTTP/1.0\r\n\r\n");
    const Outcome head = Handle("HEAD /index.htm HTTP/1.0\r\n\r\n");
    EXPECT_EQ(testing::HeadText(get.reply), testing::HeadText(head.reply));
    EXPECT_NE(head.accessLogLine->find("],HEAD /index.htm HTTP/1.0\r"), std::string::npos);
}

TEST_F(RequestHandlerTest, EditsApplyToTheNextRequest) {
    EXPECT_EQ(Status(Handle("GET / HTTP/1.0\r\n\r\n")), "HTTP/1.1 200 OK");
    folder.Write("other/index.htm", "moved");
    folder.Write("dirs.lst", "\"/\",\"other\",\"No\",\"No\",\"No\"\r\n");
    EXPECT_EQ(testing::BodyText(Handle("GET / HTTP/1.0\r\n\r\n").reply), "moved");
    folder.Write("iplist.lst", "\"10.0.0.7\"\r\n");
    EXPECT_EQ(Status(Handle("GET / HTTP/1.0\r\n\r\n")), "HTTP/1.1 403 Forbidden");
}

}  // namespace
}  // namespace quorvane::server
