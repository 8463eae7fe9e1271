#include "responses/reply.h"

#include <gtest/gtest.h>

#include <ctime>

#include "responses/date_text.h"
#include "responses/expiry.h"

namespace quorvane::responses {
namespace {

using namespace std::chrono;

constexpr sys_days kSunday1March2026 = sys_days{year{2026} / March / 1};
const sys_seconds kMorning = kSunday1March2026 + hours(9) + minutes(5) + seconds(3);

Clock::time_point Local(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return Clock::from_time_t(std::mktime(&local));
}

TEST(ReplyHead, LinesComeInTheirOrderWithDateAfterServerAndConnectionLast) {
    const Reply found = StandardReply({.status = Status::kFound,
                                       .contentType = "text/html",
                                       .contentLength = 12,
                                       .expires = kMorning,
                                       .location = "http://example.org/",
                                       .acceptRanges = true,
                                       .more = "ETag: \"x\"\r\n"});
    EXPECT_EQ(RenderHead(found, "D", "keep-alive"),
              "HTTP/1.1 302 Found\r\nServer: Quorvane2000\r\nDate: D\r\n"
              "Location: http://example.org/\r\nContent-Type: text/html\r\n"
              "Accept-Ranges: bytes\r\nContent-Length: 12\r\n"
              "Expires: Sun, 1 Mar 2026 09:05:03 GMT\r\nETag: \"x\"\r\n"
              "Connection: keep-alive\r\n\r\n");
    // A kept HTTP/1.1 connection says nothing of itself.
    EXPECT_EQ(RenderHead(found, "D", "").find("Connection"), std::string::npos);
}

TEST(DateText, ExpiryDatesAreGmtAndLocalTextsFollowTheLocalClock) {
    EXPECT_EQ(ExpiryDateText(sys_days{year{2026} / December / 31} + hours(23) + minutes(59) +
                             seconds(59)),
              "Thu, 31 Dec 2026 23:59:59 GMT");
    EXPECT_EQ(AccessLogDateText(Local(2026, 12, 5, 15, 46, 9)), "05/Dec/2026:15:46:09");
    EXPECT_EQ(LocalDateTimeText(Local(2026, 3, 1, 9, 5, 3)), "2026-03-01 09:05:03");
    EXPECT_EQ(LocalDateTimeText(Local(2026, 3, 1, 0, 0, 0)), "2026-03-01");
}

struct ExpiryCase {
    const char* settings;
    std::optional<Clock::duration> afterNow;
};

class DocumentExpiryTest : public ::testing::TestWithParam<ExpiryCase> {};

TEST_P(DocumentExpiryTest, FollowsTheExpireSettings) {
    const auto settings = config::Settings::Parse(GetParam().settings);
    const auto expiry = DocumentExpiry(settings, kMorning);
    ASSERT_EQ(expiry.has_value(), GetParam().afterNow.has_value());
    if (expiry) {
        EXPECT_EQ(*expiry - kMorning, *GetParam().afterNow);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DocumentExpiryTest,
    ::testing::Values(
        ExpiryCase{"", std::nullopt}, ExpiryCase{"[Expire]\nContentExpires=2", std::nullopt},
        ExpiryCase{"[Expire]\nContentExpires=1", Clock::duration::zero()},
        ExpiryCase{"[Expire]\nContentExpires=1\nInterval=Immediately\nDuration=9",
                   Clock::duration::zero()},
        ExpiryCase{"[Expire]\nContentExpires=1\nInterval=After\nDuration=2\nIntervalType=Weeks",
                   days(14)},
        ExpiryCase{"[Expire]\nContentExpires=1\nInterval=After\nDuration=3", days(3)},
        ExpiryCase{"[Expire]\nContentExpires=1\nInterval=After\nDuration=1.5", days(2)},
        ExpiryCase{"[Expire]\nContentExpires=1\nInterval=After\nDuration=2.5", days(2)},
        ExpiryCase{"[Expire]\nContentExpires=1\nInterval=After\nDuration=-1", days(-1)},
        ExpiryCase{"[Expire]\nContentExpires=1\nInterval=After\nDuration=5\nIntervalType=Minutes",
                   std::nullopt},
        ExpiryCase{"[Expire]\nContentExpires=1\nInterval=After\nDuration=5\nIntervalType=days",
                   std::nullopt}));

TEST(DocumentExpiry, HugeCountsStayWithinFourDigitYears) {
    const auto settings = config::Settings::Parse(
        "[Expire]\nContentExpires=1\nInterval=After\nDuration=99999999999\nIntervalType=Weeks");
    const auto expiry = DocumentExpiry(settings, kMorning);
    ASSERT_TRUE(expiry.has_value());
    EXPECT_EQ(ExpiryDateText(*expiry), "Fri, 31 Dec 9999 09:05:03 GMT");
}

}  // namespace
}  // namespace quorvane::responses
