#include "responses/date_text.h"

#include <gtest/gtest.h>

#include <ctime>

namespace quorvane::responses {
namespace {

using namespace std::chrono;

system_clock::time_point Local(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return system_clock::from_time_t(std::mktime(&local));
}

TEST(DateText, ExpiryDatesAreGmtAndLocalTextsFollowTheLocalClock) {
    EXPECT_EQ(ExpiryDateText(sys_days{year{2026} / December / 31} + hours(23) + minutes(59) +
                             seconds(59)),
              "Thu, 31 Dec 2026 23:59:59 GMT");
    EXPECT_EQ(AccessLogDateText(Local(2026, 12, 5, 15, 46, 9)), "05/Dec/2026:15:46:09");
    EXPECT_EQ(LocalDateTimeText(Local(2026, 3, 1, 9, 5, 3)), "2026-03-01 09:05:03");
    EXPECT_EQ(LocalDateTimeText(Local(2026, 3, 1, 0, 0, 0)), "2026-03-01");
}

TEST(DateText, TimestampsGiveEverySecondInLocalTimeAndInUtc) {
    EXPECT_EQ(LocalTimestampText(Local(2026, 3, 1, 0, 0, 0)), "2026-03-01 00:00:00");
    EXPECT_EQ(LocalTimestampText(Local(2026, 12, 5, 15, 46, 9)), "2026-12-05 15:46:09");
    EXPECT_EQ(UtcTimestampText(sys_days{year{2026} / March / 1} + hours(9) + seconds(5)),
              "2026-03-01T09:00:05Z");
    EXPECT_EQ(UtcTimestampText(sys_days{year{1970} / January / 1}), "1970-01-01T00:00:00Z");
}

// Against the local calendar: the day boundary is local midnight, and
// yesterday may lie in the year before.
TEST(DateText, ReadableDatesNameTheDayAsAPersonWould) {
    const auto now = Local(2026, 3, 4, 9, 30, 0);
    const auto newYear = Local(2026, 1, 1, 0, 10, 0);
    const std::tuple<system_clock::time_point, system_clock::time_point, std::string_view> cases[] =
        {
            {Local(2026, 3, 4, 9, 30, 0), now, "today 09:30"},
            {Local(2026, 3, 4, 0, 0, 0), now, "today 00:00"},
            {Local(2026, 3, 3, 23, 59, 59), now, "yesterday 23:59"},
            {Local(2026, 3, 3, 0, 0, 0), now, "yesterday 00:00"},
            {Local(2026, 3, 2, 23, 59, 59), now, "2 Mar"},
            {Local(2026, 1, 1, 0, 0, 0), now, "1 Jan"},
            {Local(2025, 12, 31, 23, 0, 0), now, "31 Dec 2025"},
            {Local(2024, 3, 3, 14, 3, 0), now, "3 Mar 2024"},
            {Local(2025, 12, 31, 23, 0, 0), newYear, "yesterday 23:00"},
            {Local(2025, 12, 30, 23, 0, 0), newYear, "30 Dec 2025"},
            // Later than now: a clock or a copy gone wrong, named in full.
            {Local(2026, 3, 4, 9, 30, 1), now, "4 Mar 2026"},
            {Local(2027, 3, 3, 14, 3, 0), now, "3 Mar 2027"},
        };
    for (const auto& [when, reference, text] : cases) {
        EXPECT_EQ(ReadableDateText(when, reference), text) << LocalDateTimeText(when);
    }
}

}  // namespace
}  // namespace quorvane::responses
