#include "server/sign_in_throttle.h"

#include <gtest/gtest.h>

#include "server/limits.h"

namespace quorvane::server {
namespace {

using namespace std::chrono_literals;
using Clock = SignInThrottle::Clock;

TEST(SignInThrottle, AFewFailuresGoFreeThenEachWaitDoublesUpToItsCeiling) {
    SignInThrottle throttle;
    const Clock::time_point start{};
    // The wait each failure starts, one failure a wait apart.
    const Clock::duration expected[] = {0s, 0s,  0s,  0s,  0s,   1s,   2s,   4s,
                                        8s, 16s, 32s, 64s, 128s, 256s, 300s, 300s};
    Clock::time_point now = start;
    for (const Clock::duration wait : expected) {
        EXPECT_EQ(throttle.Wait("10.0.0.1", now), 0s);
        EXPECT_EQ(throttle.Failed("10.0.0.1", now), wait);
        EXPECT_EQ(throttle.Wait("10.0.0.1", now), wait);
        EXPECT_EQ(throttle.Wait("10.0.0.2", now), 0s) << "another client never waits for it";
        now += wait;
    }
}

TEST(SignInThrottle, AClientQuietForAQuarterOfAnHourStartsAfresh) {
    SignInThrottle throttle;
    Clock::time_point now{};
    for (int i = 0; i < kFreeSignInFailures; ++i) {
        throttle.Failed("10.0.0.1", now);
    }
    now += kSignInMemory + 1s;
    EXPECT_EQ(throttle.Failed("10.0.0.1", now), 0s);
    EXPECT_EQ(throttle.Failures("10.0.0.1"), 1);
}

TEST(SignInThrottle, RemembersABoundedNumberOfClients) {
    SignInThrottle throttle;
    Clock::time_point now{};
    for (size_t i = 0; i < 3 * kThrottledClients; ++i) {
        throttle.Failed("client " + std::to_string(i), now);
        now += 1ms;
    }
    EXPECT_EQ(throttle.Failures("client 0"), 0) << "the quiet longest were forgotten";
    EXPECT_EQ(throttle.Failures("client " + std::to_string(3 * kThrottledClients - 1)), 1);
}

}  // namespace
}  // namespace quorvane::server
