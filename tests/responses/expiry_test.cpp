#include "responses/expiry.h"

#include <gtest/gtest.h>

#include "responses/date_text.h"

namespace quorvane::responses {
namespace {

using namespace std::chrono;

constexpr sys_days kSunday1March2026 = sys_days{year{2026} / March / 1};
const sys_seconds kMorning = kSunday1March2026 + hours(9) + minutes(5) + seconds(3);

struct ExpiryCase {
    const char* settings;
    std::optional<system_clock::duration> afterNow;
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
        ExpiryCase{"[Expire]\nContentExpires=1", system_clock::duration::zero()},
        ExpiryCase{"[Expire]\nContentExpires=1\nInterval=Immediately\nDuration=9",
                   system_clock::duration::zero()},
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
