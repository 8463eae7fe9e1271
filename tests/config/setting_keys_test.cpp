#include "config/setting_keys.h"

#include <gtest/gtest.h>

#include <set>

namespace quorvane::config {
namespace {

TEST(SettingKeys, DefaultsDifferOnlyWhereTheDescriptionSaysWhy) {
    std::set<std::string> names;
    std::set<std::string> differing;
    for (const SettingKey& key : AllSettings()) {
        EXPECT_TRUE(names.insert(std::string(key.section) + "/" + std::string(key.key)).second)
            << key.key << " is described twice";
        EXPECT_EQ(key.serverDefault != key.dialogDefault, !key.whyDefaultsDiffer.empty())
            << key.section << "/" << key.key;
        if (key.serverDefault != key.dialogDefault) {
            differing.insert(std::string(key.key));
        }
    }
    EXPECT_EQ(differing, (std::set<std::string>{"EnableFooter", "FooterHTML", "IntervalType"}));
}

TEST(SettingKeys, EachKeyIsReadWithItsOwnTest) {
    using namespace setting;
    EXPECT_TRUE(IsOn(Settings::Parse(""), kRefreshOnRun));  // the default counts
    const Settings twos = Settings::Parse(
        "[HomePage]\nSecure=2\nScriptAllowed=2\n[StartUp]\nMinimise=Truely\nAutoStart=true\n");
    EXPECT_FALSE(IsOn(twos, kSecure));        // equal to one
    EXPECT_TRUE(IsOn(twos, kScriptAllowed));  // not zero
    EXPECT_TRUE(IsOn(twos, kMinimise));       // begins with "True"
    EXPECT_FALSE(IsOn(twos, kAutoStart));
    EXPECT_FALSE(IsOn(twos, kRootDirectory));  // not a switch at all
}

}  // namespace
}  // namespace quorvane::config
