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

}  // namespace
}  // namespace quorvane::responses
