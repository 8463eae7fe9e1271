#include "http/entity_tags.h"

#include <gtest/gtest.h>

namespace quorvane::http {
namespace {

struct TagCase {
    const char* list;
    const char* etag;
    TagComparison comparison;
    bool matches;
};

class TagListTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(TagListTest, MatchesByItsComparison) {
    EXPECT_EQ(TagListMatches(GetParam().list, GetParam().etag, GetParam().comparison),
              GetParam().matches)
        << GetParam().list << " against " << GetParam().etag;
}

constexpr auto kStrong = TagComparison::kStrong;
constexpr auto kWeak = TagComparison::kWeak;

INSTANTIATE_TEST_SUITE_P(
    Lists, TagListTest,
    ::testing::Values(
        TagCase{"\"a\"", "\"a\"", kStrong, true}, TagCase{"\"a\"", "\"b\"", kWeak, false},
        TagCase{"W/\"a\"", "\"a\"", kWeak, true}, TagCase{"W/\"a\"", "\"a\"", kStrong, false},
        TagCase{"\"a\"", "W/\"a\"", kStrong, false},
        TagCase{"\"x\", W/\"a\"", "\"a\"", kWeak, true},
        TagCase{" \"x\" ,, \"a\" ", "\"a\"", kStrong, true},
        TagCase{"\"x\",\"y\"", "\"a\"", kWeak, false}, TagCase{"*", "\"a\"", kStrong, true},
        TagCase{"\"a,b\"", "\"a,b\"", kStrong, true}, TagCase{"\"a,b\"", "\"a\"", kWeak, false},
        TagCase{"\"\"", "\"\"", kStrong, true},
        // Outside the grammar nothing matches.
        TagCase{"a", "\"a\"", kWeak, false}, TagCase{"\"a", "\"a\"", kWeak, false},
        TagCase{"\"a\" \"b\"", "\"a\"", kWeak, false}, TagCase{"w/\"a\"", "\"a\"", kWeak, false},
        TagCase{"\"a\", *", "\"a\"", kWeak, false}, TagCase{"\"a\x01\"", "\"a\x01\"", kWeak, false},
        TagCase{"", "\"a\"", kWeak, false}));

// The document under test: ETag "v1", last changed an hour before now.
}  // namespace
}  // namespace quorvane::http
