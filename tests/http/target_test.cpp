#include "http/target.h"

#include <gtest/gtest.h>

namespace quorvane::http {
namespace {

using Segments = std::vector<std::string>;

TEST(RequestTarget, BecomesDecodedSegmentsAndARawQuery) {
    struct Case {
        const char* target;
        Segments segments;
        const char* query;
        bool endsWithSlash;
    };
    const Case cases[] = {
        {"/", {}, "", true},
        {"/docs", {"docs"}, "", false},
        {"//private//index.htm", {"private", "index.htm"}, "", false},
        {"/./a/./b/.", {"a", "b"}, "", true},
        {"/%2e/docs/", {"docs"}, "", true},
        {"/my%20docs/a%26b.htm?x=%41&y=..", {"my docs", "a&b.htm"}, "x=%41&y=..", false},
        {"/notes..txt", {"notes..txt"}, "", false},
        {"/a?b/../c", {"a"}, "b/../c", false},
        {"http://Example.org//d/e.htm?q", {"d", "e.htm"}, "q", false},
        {"HTTPS://host", {}, "", true},
        {"/%C3%A9t%C3%A9.htm", {"\xC3\xA9t\xC3\xA9.htm"}, "", false},
    };
    for (const Case& c : cases) {
        const std::optional<RequestTarget> parsed = ParseTarget(c.target);
        ASSERT_TRUE(parsed.has_value()) << c.target;
        EXPECT_EQ(parsed->segments, c.segments) << c.target;
        EXPECT_EQ(parsed->query, c.query) << c.target;
        EXPECT_EQ(parsed->endsWithSlash, c.endsWithSlash) << c.target;
    }
    EXPECT_EQ(PathText(*ParseTarget("//a//b/")), "/a/b/");
}

TEST(RequestTarget, SeparatorsControlsAndClimbsAreMalformed) {
    for (const char* target :
         {"/%2Fetc%2Fpasswd", "/private%2Findex.htm", "/%5Cetc", "/a\\b", "/a%00.htm",
          "/a%0d%0a.htm", "/a\x1b.htm", "/..", "/a/../b", "/%2e%2e/x", "/%2E./x", "/bad%zz",
          "/cut%2", "/cut%", "x.htm", "", "*", "http://host?x", ">/cgi-bin/form.pl"}) {
        EXPECT_FALSE(ParseTarget(target).has_value()) << target;
    }
}

}  // namespace
}  // namespace quorvane::http
