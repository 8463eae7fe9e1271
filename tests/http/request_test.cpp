#include "http/request.h"

#include <gtest/gtest.h>

namespace quorvane::http {
namespace {

TEST(RequestParse, TheMethodIsTheWholeFirstWordAndTheTargetIsTakenApart) {
    const Request get = ParseHead("GET /docs/a%20b.htm?x=1 HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(get.method, Method::kGet);
    EXPECT_EQ(get.requestLine, "GET /docs/a%20b.htm?x=1 HTTP/1.1\r");
    ASSERT_TRUE(get.target.has_value());
    EXPECT_EQ(get.target->segments, (std::vector<std::string>{"docs", "a b.htm"}));
    EXPECT_EQ(get.target->query, "x=1");
    EXPECT_EQ(ParseHead("HEAD / HTTP/1.0\n\n").requestLine, "HEAD / HTTP/1.0");
    EXPECT_EQ(ParseHead("POST /f.pl HTTP/1.0\r\n\r\n").method, Method::kPost);
    EXPECT_FALSE(ParseHead("GET /%2e%2e/x HTTP/1.0\r\n\r\n").target.has_value());
    for (const char* head :
         {"get / HTTP/1.0\r\n\r\n", "GETX / HTTP/1.0\r\n\r\n", "PATCH /x.htm HTTP/1.1\r\n\r\n", ""}) {
        const Request other = ParseHead(head);
        EXPECT_EQ(other.method, Method::kOther) << head;
    }
}

TEST(RequestHeaders, FoundAtALineStartInAnyLetterCase) {
    constexpr std::string_view kHead =
        "GET /Authorization:x HTTP/1.1\r\n"
        "X-Note: Authorization: fake\r\n"
        "authorization:   Basic abc  \r\n"
        "Content-length:12\r\n\r\n";
    EXPECT_EQ(ParseHead(kHead).Authorization(), "Basic abc");
    EXPECT_EQ(ParseHead(kHead).Host(), std::nullopt);
}

TEST(RequestLine, MethodTargetAndVersionOrItIsRefused) {
    struct Case {
        const char* head;
        Problem problem;
    };
    for (const Case& c : {Case{"GET / HTTP/1.0\r\n\r\n", Problem::kNone},
                          Case{"BREW /pot HTTP/1.1\r\nHost: x\r\n\r\n", Problem::kNone},
                          Case{"GET /\r\n\r\n", Problem::kMalformed},
                          Case{"GET  / HTTP/1.1\r\n\r\n", Problem::kMalformed},
                          Case{"GET / HTTP/1.1 extra\r\n\r\n", Problem::kMalformed},
                          Case{"GET / HTTX/1.1\r\n\r\n", Problem::kMalformed},
                          Case{"G(T / HTTP/1.1\r\n\r\n", Problem::kMalformed},
                          Case{"GET / HTTP/2.0\r\n\r\n", Problem::kVersionNotSupported},
                          Case{"GET / HTTP/0.9\r\n\r\n", Problem::kVersionNotSupported}}) {
        EXPECT_EQ(ParseHead(c.head).problem, c.problem) << c.head;
    }
}

TEST(RequestLine, PersistenceAndFramingFollowTheHead) {
    const Request http11 = ParseHead("GET / HTTP/1.1\r\nHost: a\r\n\r\n");
    EXPECT_TRUE(http11.keepAlive);
    EXPECT_EQ(http11.HostLines(), 1u);
    EXPECT_FALSE(ParseHead("GET / HTTP/1.1\r\nConnection: Close\r\n\r\n").keepAlive);
    EXPECT_FALSE(ParseHead("GET / HTTP/1.0\r\n\r\n").keepAlive);
    EXPECT_TRUE(ParseHead("GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n").keepAlive);
    EXPECT_TRUE(ParseHead("POST / HTTP/1.1\r\nExpect: 100-continue\r\n\r\n").expectContinue);
    using Kind = BodyFraming::Kind;
    const auto framing = [](std::string_view lines) {
        return ParseHead("POST / HTTP/1.1\r\n" + std::string(lines) + "\r\n").body;
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

TEST(RequestParser, FindsAHeadThatTricklesInWithoutLookingBackOverIt) {
    const std::string head = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
    RequestParser parser(1024);
    std::string received;
    for (size_t i = 0; i + 1 < head.size(); ++i) {
        received += head[i];
        ASSERT_EQ(parser.Look(received), RequestParser::Found::kNothingYet) << i;
    }
    received += head.back();
    received += "GET /next";  // pipelined, still coming
    ASSERT_EQ(parser.Look(received), RequestParser::Found::kHead);
    EXPECT_EQ(parser.HeadSize(), head.size());
    received.erase(0, parser.HeadSize());
    parser.Restart();
    EXPECT_EQ(parser.Look(received), RequestParser::Found::kNothingYet);
    RequestParser small(16);
    EXPECT_EQ(small.Look(std::string(16, 'x')), RequestParser::Found::kTooLarge);
    EXPECT_EQ(small.HeadSize(), 16u);
    EXPECT_EQ(ParseHead("GET / HTTP/1.1\r\nX: cut sh", false).problem, Problem::kHeadTooLarge);
}

TEST(Fields, RepeatedLinesJoinAndNamesIgnoreLetterCase) {
    Fields fields;
    fields.Add("Accept", "text/html");
    fields.Add("X-One", "1");
    fields.Add("accept", "image/png");
    EXPECT_EQ(fields.Get("ACCEPT"), "text/html, image/png");
    EXPECT_EQ(fields.Count("Accept"), 2u);
    EXPECT_EQ(fields.Get("X-Two"), std::nullopt);
    fields.Set("Accept", "*/*");
    EXPECT_EQ(fields.Get("accept"), "*/*");
    EXPECT_EQ(fields.begin()->name, "Accept") << "set where the first stood";
    fields.Remove("x-one");
    EXPECT_FALSE(fields.Has("X-One"));
}

TEST(RequestHeaders, HeadEndsAtTheFirstEmptyLine) {
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.0\r\n\r\nbody"), 18u);
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.0\n\nbody"), 16u);
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.0\r\nHost: x\r\n"), std::nullopt);
    // A line ended by LF alone, then CR LF: the empty line all the same.
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.0\r\nHost: x\n\r\nAuthorization: y\r\n\r\n"), 26u);
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.0\n\r\n"), 17u);
}

}  // namespace
}  // namespace quorvane::http
