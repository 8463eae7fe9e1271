#include "server/credential_cache.h"

#include <gtest/gtest.h>

#include "server/limits.h"

namespace quorvane::server {
namespace {

using namespace std::chrono_literals;

class CredentialCacheTest : public ::testing::Test {
  protected:
    static CredentialCache::UsersList List() {
        return std::make_shared<const config::Users>(config::Users{{"bob", "$y$unused"}});
    }
    CredentialCache cache;
    CredentialCache::UsersList users = List();
    const CredentialCache::Clock::time_point start = CredentialCache::Clock::now();
};

// What was remembered answers without the list's passwords ever being read
// (the list given here holds none that would match).
TEST_F(CredentialCacheTest, RemembersGoodSignInsForTheirLifeOnly) {
    cache.Remember("Basic Ym9iOnB3", users, "bob", start);
    EXPECT_EQ(cache.Find("Basic Ym9iOnB3", users, start + kCredentialLife - 1s), "bob");
    EXPECT_EQ(cache.Find("Basic Ym9iOnB4", users, start + 1s), std::nullopt);
    EXPECT_EQ(cache.Find("basic Ym9iOnB3", users, start + 1s), std::nullopt);
    EXPECT_EQ(cache.Find("Basic Ym9iOnB3", users, start - 1s), std::nullopt);
    EXPECT_EQ(cache.Find("Basic Ym9iOnB3", users, start + kCredentialLife), std::nullopt);
    EXPECT_EQ(cache.Find("Basic Ym9iOnB3", users, start), std::nullopt) << "expired is gone";
}

TEST_F(CredentialCacheTest, KeepsABoundedNumberTheOldestGoingFirst) {
    for (size_t i = 0; i <= kRememberedCredentials; ++i) {
        cache.Remember("Basic " + std::to_string(i), users, "u" + std::to_string(i), start);
    }
    EXPECT_EQ(cache.Find("Basic 0", users, start), std::nullopt);
    EXPECT_EQ(cache.Find("Basic 1", users, start), "u1");
    EXPECT_EQ(cache.Find("Basic " + std::to_string(kRememberedCredentials), users, start),
              "u" + std::to_string(kRememberedCredentials));
}

TEST_F(CredentialCacheTest, ForgetsEverythingWhenTheListIsReadAnew) {
    cache.Remember("Basic Ym9iOnB3", users, "bob", start);
    const CredentialCache::UsersList reread = List();
    EXPECT_EQ(cache.Find("Basic Ym9iOnB3", reread, start), std::nullopt);
    EXPECT_EQ(cache.Find("Basic Ym9iOnB3", users, start), std::nullopt) << "nor comes back";
}

}  // namespace
}  // namespace quorvane::server
