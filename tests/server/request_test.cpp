#include "server/request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "responses/request_head.h"
#include "server/access_log.h"

namespace quorvane::server {
namespace {

struct SplitCase {
    const char* head;
    Method method;
    const char* directory;
    const char* document;
    const char* query;
};

class RequestSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(RequestSplitTest, CutsDirectoryAndDocument) {
    const Request request = ParseRequest(GetParam().head);
    EXPECT_FALSE(request.malformed);
    EXPECT_EQ(request.method, GetParam().method);
    EXPECT_EQ(request.directory, GetParam().directory);
    EXPECT_EQ(request.document, GetParam().document);
    EXPECT_EQ(request.query, GetParam().query);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RequestSplitTest,
    ::testing::Values(
        SplitCase{"GET / HTTP/1.0\r\n\r\n", Method::kGet, "/", "Default", ""},
        SplitCase{"GET /docs HTTP/1.0\r\n\r\n", Method::kGet, "/docs", "Default", ""},
        SplitCase{"GET /docs/index.htm HTTP/1.1\r\n\r\n", Method::kGet, "/docs", "index.htm", ""},
        SplitCase{"GET /a.b/c.htm HTTP/1.0\r\n\r\n", Method::kGet, "/", "a.b/c.htm", ""},
        SplitCase{"GET /cgi-bin/test.pl?x=1 HTTP/1.0\r\n\r\n", Method::kGet, "/cgi-bin", "test.pl",
                  "x=1"},
        SplitCase{"POST /my%20docs/a%26b.htm HTTP/1.1\r\n\r\n", Method::kPost, "/my docs",
                  "a&b.htm", ""},
        SplitCase{"HEAD /x.htm HTTP/1.1\r\n\r\n", Method::kHead, "/", "x.htm", ""},
        SplitCase{"GET /index.htm\r\n\r\n", Method::kGet, "/", "Default", ""},  // no version
        SplitCase{"GET /no/line/end", Method::kGet, "/", "Default", ""},
        SplitCase{"GET /bare/lf.htm HTTP/1.0\n\n", Method::kGet, "/bare", "lf.htm", ""},
        SplitCase{"GET http://example.org/d/e.htm HTTP/1.1\r\n\r\n", Method::kGet, "/d", "e.htm",
                  ""}));

TEST(RequestParse, OtherMethodsAreNotParsed) {
    for (const char* head : {"get / HTTP/1.0\r\n\r\n", "PUT /x.htm HTTP/1.1\r\n\r\n", ""}) {
        const Request request = ParseRequest(head);
        EXPECT_EQ(request.method, Method::kOther) << head;
        EXPECT_EQ(request.requestLine, "") << head;
        EXPECT_FALSE(request.malformed) << head;
    }
}

TEST(RequestParse, TraversalAndControlCharactersAreMalformed) {
    for (const char* head :
         {"GET /../x.htm HTTP/1.0\r\n\r\n", "POST /../x.htm HTTP/1.0\r\n\r\n",
          "GET /x.htm?a=..b HTTP/1.0\r\n\r\n", "GET /%2e%2E/etc/passwd HTTP/1.0\r\n\r\n",
          "GET /a/%2E./b.htm HTTP/1.0\r\n\r\n", "GET /a%00.htm HTTP/1.0\r\n\r\n",
          "GET /a%0d%0a.htm HTTP/1.0\r\n\r\n", "GET /bad%zz.htm HTTP/1.0\r\n\r\n",
          "GET /cut%2 HTTP/1.0\r\n\r\n", "GET x.htm HTTP/1.0\r\n\r\n",
          "POST >/cgi-bin/form.pl?x=1 HTTP/1.1\r\n\r\n"}) {
        EXPECT_TRUE(ParseRequest(head).malformed) << head;
    }
    EXPECT_FALSE(ParseRequest("GET /a.b.c/x.htm HTTP/1.0\r\n\r\n").malformed);
}

TEST(RequestParse, RequestLineKeepsItsClosingCr) {
    EXPECT_EQ(ParseRequest("GET / HTTP/1.0\r\nHost: x\r\n\r\n").requestLine, "GET / HTTP/1.0\r");
    EXPECT_EQ(ParseRequest("GET / HTTP/1.0\nHost: x\n\n").requestLine, "GET / HTTP/1.0");
}

TEST(RequestHeaders, FoundAtALineStartInAnyLetterCase) {
    constexpr std::string_view kHead =
        "GET /Authorization:x HTTP/1.1\r\n"
        "X-Note: Authorization: fake\r\n"
        "authorization:   Basic abc  \r\n"
        "Content-length:12\r\n\r\n";
    EXPECT_EQ(responses::GetHeaderValue(kHead, "Authorization"), "Basic abc");
    EXPECT_EQ(responses::GetHeaderValue(kHead, "Host"), std::nullopt);
    EXPECT_EQ(ContentLength(kHead), 12u);
    EXPECT_EQ(ContentLength("POST / HTTP/1.1\r\nContent-Length: x\r\n\r\n"), 0u);
    EXPECT_EQ(ContentLength("POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n"),
              SIZE_MAX);
}

TEST(RequestHeaders, HeadEndsAtTheFirstEmptyLine) {
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.0\r\n\r\nbody"), 18u);
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.0\n\nbody"), 16u);
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.0\r\nHost: x\r\n"), std::nullopt);
}

TEST(AccessLogLine, RecordsTheRawLineWithControlCharactersEscaped) {
    std::tm local{};
    local.tm_year = 126;
    local.tm_mon = 11;
    local.tm_mday = 5;
    local.tm_hour = 15;
    local.tm_min = 46;
    local.tm_sec = 9;
    local.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(std::mktime(&local));
    EXPECT_EQ(AccessLogLine("10.0.0.7", when, "GET /a%20b HTTP/1.0\r"),
              "10.0.0.7,[05/Dec/2026:15:46:09],GET /a%20b HTTP/1.0\r");
    EXPECT_EQ(AccessLogLine("", when, ""), ",[05/Dec/2026:15:46:09],");
    EXPECT_EQ(AccessLogLine("1.2.3.4", when, "GET /\x1b[2J\rfake\t HTTP/1.0\r"),
              "1.2.3.4,[05/Dec/2026:15:46:09],GET /\\x1B[2J\\x0Dfake\\x09 HTTP/1.0\r");
}

}  // namespace
}  // namespace quorvane::server
