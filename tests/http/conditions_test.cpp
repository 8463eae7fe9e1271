#include "http/conditions.h"

#include <gtest/gtest.h>

#include "http/http_date.h"

namespace quorvane::http {
namespace {

using namespace std::chrono;

const sys_seconds kChanged = sys_days{year{2026} / March / 1} + hours(9);
const sys_seconds kNow = kChanged + hours(1);
constexpr std::string_view kEtag = "\"v1\"";

std::string Date(sys_seconds when) {
    return HttpDateText(when);
}

struct ConditionCase {
    Conditions conditions;
    Precondition precondition;
    bool rangeAllowed = true;
    sys_seconds now = kNow;
    bool getOrHead = true;
};

class ConditionsTest : public ::testing::TestWithParam<ConditionCase> {};

TEST(Conditions, AnIfRangeDateNamesNoVersionWhenTheBytesCanChangeWithoutIt) {
    const std::string date = Date(kChanged);
    const Conditions conditions{.ifRange = date};
    EXPECT_TRUE(EvaluateConditions(conditions, {kEtag, kChanged}, kNow).rangeAllowed);
    EXPECT_FALSE(EvaluateConditions(conditions, {kEtag, kChanged, false}, kNow).rangeAllowed);
    EXPECT_TRUE(EvaluateConditions({.ifRange = std::string(kEtag)}, {kEtag, kChanged, false}, kNow)
                    .rangeAllowed);
}

TEST_P(ConditionsTest, FollowTheStandardOrder) {
    const ConditionCase& c = GetParam();
    const ConditionalOutcome outcome = EvaluateConditions(
        c.conditions, {.etag = kEtag, .lastModified = kChanged}, c.now, c.getOrHead);
    EXPECT_EQ(outcome.precondition, c.precondition);
    EXPECT_EQ(outcome.rangeAllowed, c.rangeAllowed);
}

const std::string kAtChange = Date(kChanged);
const std::string kBeforeChange = Date(kChanged - seconds(1));
const std::string kAfterChange = Date(kChanged + seconds(1));
const std::string kFuture = Date(kNow + hours(1));

constexpr auto kProceed = Precondition::kProceed;
constexpr auto kNotModified = Precondition::kNotModified;
constexpr auto kFailed = Precondition::kFailed;

INSTANTIATE_TEST_SUITE_P(
    Rules, ConditionsTest,
    ::testing::Values(
        ConditionCase{{}, kProceed},
        // If-None-Match: weak comparison over a list.
        ConditionCase{{.ifNoneMatch = "\"v1\""}, kNotModified},
        ConditionCase{{.ifNoneMatch = "W/\"v1\""}, kNotModified},
        ConditionCase{{.ifNoneMatch = "\"v0\", \"v1\""}, kNotModified},
        ConditionCase{{.ifNoneMatch = "*"}, kNotModified},
        ConditionCase{{.ifNoneMatch = "\"v0\""}, kProceed},
        ConditionCase{{.ifNoneMatch = "\"v1\""}, kFailed, true, kNow, false},
        // If-Modified-Since counts only without If-None-Match.
        ConditionCase{{.ifNoneMatch = "\"v0\"", .ifModifiedSince = kAtChange}, kProceed},
        ConditionCase{{.ifModifiedSince = kAtChange}, kNotModified},
        ConditionCase{{.ifModifiedSince = "Sunday, 01-Mar-26 09:00:00 GMT"}, kNotModified},
        ConditionCase{{.ifModifiedSince = "Sun Mar  1 09:00:00 2026"}, kNotModified},
        ConditionCase{{.ifModifiedSince = kAfterChange}, kNotModified},
        ConditionCase{{.ifModifiedSince = kBeforeChange}, kProceed},
        ConditionCase{{.ifModifiedSince = "yesterday"}, kProceed},
        ConditionCase{{.ifModifiedSince = kFuture}, kProceed},
        ConditionCase{{.ifModifiedSince = kAtChange}, kProceed, true, kNow, false},
        // If-Match (strong), else If-Unmodified-Since.
        ConditionCase{{.ifMatch = "\"v1\""}, kProceed}, ConditionCase{{.ifMatch = "*"}, kProceed},
        ConditionCase{{.ifMatch = "\"v0\""}, kFailed},
        ConditionCase{{.ifMatch = "W/\"v1\""}, kFailed},
        ConditionCase{{.ifUnmodifiedSince = kAtChange}, kProceed},
        ConditionCase{{.ifUnmodifiedSince = kBeforeChange}, kFailed},
        ConditionCase{{.ifUnmodifiedSince = "not a date"}, kProceed},
        ConditionCase{{.ifMatch = "\"v1\"", .ifUnmodifiedSince = kBeforeChange}, kProceed},
        ConditionCase{{.ifMatch = "\"v0\"", .ifNoneMatch = "\"v1\""}, kFailed},
        // If-Range: a strong tag, or the exact date of a strong Last-Modified.
        ConditionCase{{.ifRange = "\"v1\""}, kProceed, true},
        ConditionCase{{.ifRange = "W/\"v1\""}, kProceed, false},
        ConditionCase{{.ifRange = "\"v0\""}, kProceed, false},
        ConditionCase{{.ifRange = "*"}, kProceed, false},
        ConditionCase{{.ifRange = kAtChange}, kProceed, true},
        ConditionCase{{.ifRange = "Sunday, 01-Mar-26 09:00:00 GMT"}, kProceed, true},
        ConditionCase{{.ifRange = kAfterChange}, kProceed, false},
        ConditionCase{{.ifRange = kBeforeChange}, kProceed, false},
        ConditionCase{{.ifRange = kAtChange}, kProceed, false, kChanged},
        ConditionCase{{.ifRange = kAtChange}, kProceed, true, kChanged + seconds(1)},
        ConditionCase{{.ifRange = "garbage"}, kProceed, false}));

}  // namespace
}  // namespace quorvane::http
