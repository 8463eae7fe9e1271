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
    EXPECT_EQ(ErrorPageSettings().size(), 6u);
    EXPECT_EQ(ErrorPageSettings()[2].key->key, "404.1Error");
}

TEST(SettingKeys, EachKeyIsReadWithItsOwnTest) {
    using namespace setting;
    const Settings empty = Settings::Parse("");
    EXPECT_EQ(ServerValue(empty, kFooterHtml), "<p><b>Served By Quorvane2000</b>");
    EXPECT_EQ(DialogValue(empty, kFooterHtml), "<b>This site is served by Quorvane2000</b>");
    EXPECT_FALSE(IsOn(empty, kEnableFooter));
    EXPECT_TRUE(IsOn(empty, kRefreshOnRun));

    const Settings twos = Settings::Parse(
        "[HomePage]\nSecure=2\nScriptAllowed=2\n[StartUp]\nMinimise=Truely\nAutoStart=true\n");
    EXPECT_FALSE(IsOn(twos, kSecure));        // equal to one
    EXPECT_TRUE(IsOn(twos, kScriptAllowed));  // not zero
    EXPECT_TRUE(IsOn(twos, kMinimise));       // begins with "True"
    EXPECT_FALSE(IsOn(twos, kAutoStart));
    EXPECT_FALSE(IsOn(twos, kRootDirectory));  // not a switch at all

    const SettingWrite write = Write(kPort, "9090");
    EXPECT_EQ(write.section + "/" + write.key + "=" + write.value, "Server/Port=9090");
}

}  // namespace
}  // namespace quorvane::config
