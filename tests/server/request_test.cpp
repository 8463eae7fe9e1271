#include "server/request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "responses/request_head.h"
#include "server/access_log.h"

namespace quorvane::server {
namespace {

TEST(RequestParse, TheMethodIsTheWholeFirstWordAndTheTargetIsTakenApart) {
    const Request get = ParseRequest("GET /docs/a%20b.htm?x=1 HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(get.method, Method::kGet);
    EXPECT_EQ(get.requestLine, "GET /docs/a%20b.htm?x=1 HTTP/1.1\r");
    ASSERT_TRUE(get.target.has_value());
    EXPECT_EQ(get.target->segments, (std::vector<std::string>{"docs", "a b.htm"}));
    EXPECT_EQ(get.target->query, "x=1");
    EXPECT_EQ(ParseRequest("HEAD / HTTP/1.0\n\n").requestLine, "HEAD / HTTP/1.0");
    EXPECT_EQ(ParseRequest("POST /f.pl HTTP/1.0\r\n\r\n").method, Method::kPost);
    EXPECT_FALSE(ParseRequest("GET /%2e%2e/x HTTP/1.0\r\n\r\n").target.has_value());
    for (const char* head :
         {"get / HTTP/1.0\r\n\r\n", "GETX / HTTP/1.0\r\n\r\n", "PUT /x.htm HTTP/1.1\r\n\r\n", ""}) {
        const Request other = ParseRequest(head);
        EXPECT_EQ(other.method, Method::kOther) << head;
    }
}

TEST(RequestHeaders, FoundAtALineStartInAnyLetterCase) {
    constexpr std::string_view kHead =
        "GET /Authorization:x HTTP/1.1\r\n"
        "X-Note: Authorization: fake\r\n"
        "authorization:   Basic abc  \r\n"
        "Content-length:12\r\n\r\n";
    EXPECT_EQ(responses::GetHeaderValue(kHead, "Authorization"), "Basic abc");
    EXPECT_EQ(responses::GetHeaderValue(kHead, "Host"), std::nullopt);
}

TEST(RequestLine, MethodTargetAndVersionOrItIsRefused) {
    struct Case {
        const char* head;
        LineProblem problem;
    };
    for (const Case& c : {Case{"GET / HTTP/1.0\r\n\r\n", LineProblem::kNone},
                          Case{"BREW /pot HTTP/1.1\r\nHost: x\r\n\r\n", LineProblem::kNone},
                          Case{"GET /\r\n\r\n", LineProblem::kMalformed},
                          Case{"GET  / HTTP/1.1\r\n\r\n", LineProblem::kMalformed},
                          Case{"GET / HTTP/1.1 extra\r\n\r\n", LineProblem::kMalformed},
                          Case{"GET / HTTX/1.1\r\n\r\n", LineProblem::kMalformed},
                          Case{"G(T / HTTP/1.1\r\n\r\n", LineProblem::kMalformed},
                          Case{"GET / HTTP/2.0\r\n\r\n", LineProblem::kVersionNotSupported},
                          Case{"GET / HTTP/0.9\r\n\r\n", LineProblem::kVersionNotSupported}}) {
        EXPECT_EQ(ParseRequest(c.head).problem, c.problem) << c.head;
    }
}

TEST(RequestLine, PersistenceAndFramingFollowTheHead) {
    const Request http11 = ParseRequest("GET / HTTP/1.1\r\nHost: a\r\n\r\n");
    EXPECT_TRUE(http11.keepAlive);
    EXPECT_EQ(http11.hostLines, 1);
    EXPECT_FALSE(ParseRequest("GET / HTTP/1.1\r\nConnection: Close\r\n\r\n").keepAlive);
    EXPECT_FALSE(ParseRequest("GET / HTTP/1.0\r\n\r\n").keepAlive);
    EXPECT_TRUE(ParseRequest("GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n").keepAlive);
    EXPECT_TRUE(ParseRequest("POST / HTTP/1.1\r\nExpect: 100-continue\r\n\r\n").expectContinue);
    using Kind = BodyFraming::Kind;
    const auto framing = [](std::string_view lines) {
        return ParseRequest("POST / HTTP/1.1\r\n" + std::string(lines) + "\r\n").body;
    };
    EXPECT_EQ(framing("").kind, Kind::kNone);
    EXPECT_EQ(framing("Content-Length: 12\r\n").length, 12u);
    EXPECT_EQ(framing("Content-Length: 5, 5\r\n").length, 5u);
    EXPECT_EQ(framing("Content-Length: 99999999999999999999999\r\n").length, UINT64_MAX);
    for (std::string_view bad :
         {"Content-Length: x\r\n", "Content-Length: 1 2\r\n", "Content-Length: 5, 6\r\n",
          "Content-Length: -1\r\n", "Content-Length: 1\r\nContent-Length: 2\r\n",
          "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n"}) {
        EXPECT_EQ(framing(bad).kind, Kind::kInvalid) << bad;
    }
    EXPECT_EQ(framing("Transfer-Encoding: chunked\r\n").kind, Kind::kChunked);
}

TEST(RequestHeaders, HeadEndsAtTheFirstEmptyLine) {
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.0\r\n\r\nbody"), 18u);
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.0\n\nbody"), 16u);
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.0\r\nHost: x\r\n"), std::nullopt);
    // A line ended by LF alone, then CR LF: the empty line all the same.
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.0\r\nHost: x\n\r\nAuthorization: y\r\n\r\n"), 26u);
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.0\n\r\n"), 17u);
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
