#include "http/http_date.h"

#include <gtest/gtest.h>

namespace quorvane::http {
namespace {

using namespace std::chrono;

const sys_seconds kExample =
    sys_days{year{1994} / November / 6} + hours(8) + minutes(49) + seconds(37);
const sys_seconds kNow = sys_days{year{2026} / March / 1} + hours(9);

TEST(HttpDate, WritesTheFixedFormInGmt) {
    EXPECT_EQ(HttpDateText(kExample), "Sun, 06 Nov 1994 08:49:37 GMT");
    // Out of the four-digit years the text is held at their ends.
    EXPECT_EQ(HttpDateText(sys_days{year{12000} / 1 / 1}), "Fri, 31 Dec 9999 23:59:59 GMT");
    EXPECT_EQ(HttpDateText(sys_days{year{-5} / 1 / 1}), "Mon, 01 Jan 0001 00:00:00 GMT");
}

struct DateCase {
    const char* text;
    std::optional<sys_seconds> expected;
};

class ParseHttpDateTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(ParseHttpDateTest, ReadsTheThreeFormsOnly) {
    EXPECT_EQ(ParseHttpDate(GetParam().text, kNow), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseHttpDateTest,
    ::testing::Values(
        DateCase{"Sun, 06 Nov 1994 08:49:37 GMT", kExample},
        DateCase{"Sunday, 06-Nov-94 08:49:37 GMT", kExample},
        DateCase{"Sun Nov  6 08:49:37 1994", kExample},
        DateCase{"Thu, 31 Dec 2026 23:59:59 GMT",
                 sys_days{year{2026} / December / 31} + hours(23) + minutes(59) + seconds(59)},
        DateCase{"Sun Nov 16 08:49:37 1994", kExample + days(10)},
        DateCase{" Sun, 06 Nov 1994 08:49:37 GMT\t", kExample},
        // A leap second is the last second of its minute.
        DateCase{"Sun, 06 Nov 1994 08:49:60 GMT", kExample + seconds(22)},
        // The weekday is not held against the date.
        DateCase{"Mon, 06 Nov 1994 08:49:37 GMT", kExample},
        // Two-digit years: more than 50 years ahead of now means a century back.
        DateCase{"Monday, 01-Jan-76 00:00:00 GMT", sys_days{year{2076} / 1 / 1}},
        DateCase{"Sunday, 01-Nov-76 00:00:00 GMT", sys_days{year{1976} / 11 / 1}},
        DateCase{"Friday, 01-Jan-27 00:00:00 GMT", sys_days{year{2027} / 1 / 1}},
        DateCase{"Sun, 06 Nov 1994 08:49:37 UTC", std::nullopt},
        DateCase{"sun, 06 Nov 1994 08:49:37 GMT", std::nullopt},
        DateCase{"Sun, 06 nov 1994 08:49:37 GMT", std::nullopt},
        DateCase{"Sun, 6 Nov 1994 08:49:37 GMT", std::nullopt},
        DateCase{"Sun, 06 Nov 94 08:49:37 GMT", std::nullopt},
        DateCase{"Sun, 06 Nov 1994 08:49 GMT", std::nullopt},
        DateCase{"Sun, 29 Feb 2026 08:49:37 GMT", std::nullopt},
        DateCase{"Sun, 06 Nov 1994 24:00:00 GMT", std::nullopt},
        DateCase{"Sun, 06 Nov 1994 08:60:00 GMT", std::nullopt},
        DateCase{"Sun, 06 Nov 1994 08:49:37 GMT, Mon, 07 Nov 1994 08:49:37 GMT", std::nullopt},
        DateCase{"Sun, 06 Nov 1994 08:49:37 GMTx", std::nullopt},
        DateCase{"Sunday, 06-Nov-1994 08:49:37 GMT", std::nullopt},
        DateCase{"Sun, 06-Nov-94 08:49:37 GMT", std::nullopt},
        DateCase{"Sun Nov 6 08:49:37 1994", std::nullopt},
        DateCase{"Sun Nov  6 08:49:37 1994 GMT", std::nullopt},
        DateCase{"1994-11-06T08:49:37Z", std::nullopt}, DateCase{"", std::nullopt},
        DateCase{"Sun", std::nullopt}));

TEST(HttpDate, WhatIsWrittenReadsBack) {
    for (sys_seconds when : {kExample, kNow, sys_seconds{}, kNow + days(4000) + seconds(7)}) {
        EXPECT_EQ(ParseHttpDate(HttpDateText(when), kNow), when);
    }
}

}  // namespace
}  // namespace quorvane::http
