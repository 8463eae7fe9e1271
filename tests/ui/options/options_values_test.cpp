#include "ui/options/options_values.h"

#include <gtest/gtest.h>

#include "ui/options/address_entry.h"

namespace quorvane::ui {
namespace {

TEST(OptionsValues, MissingKeysShowTheDialogsOwnDefaults) {
    const OptionsValues values = LoadOptions(config::Settings::Parse(""));
    EXPECT_TRUE(values.docFooter);
    EXPECT_EQ(values.footerHtml, "<b>This site is served by Quorvane2000</b>");
    EXPECT_EQ(values.intervalType, "Minutes");
    EXPECT_FALSE(values.expireAfter);
    EXPECT_TRUE(values.refreshOnRun);
    EXPECT_TRUE(values.thisComputer);
    EXPECT_EQ(values.homePage, "www");
    EXPECT_EQ(values.perlLocation, "/usr/bin/perl");
    EXPECT_EQ(values.port, "80");
    EXPECT_EQ(values.scriptTimeout, "30");
    ASSERT_EQ(values.errorPages.size(), 6u);
    EXPECT_EQ(values.errorPages[0], (std::array<std::string, 2>{"401", "401.htm"}));
    EXPECT_EQ(values.errorPages[3], (std::array<std::string, 2>{"404.2", "4042.htm"}));
}

TEST(OptionsValues, ValuesAreReadAsTheDialogReadsThem) {
    const OptionsValues values = LoadOptions(config::Settings::Parse(
        "[Documents]\nEnableFooter=2\nDirectoryBrowsing=1\n"
        "[Logging]\nRefreshOnRun=1\nRefreshOnStop=tRuE\nUserControlled=maybe\n"
        "[HomePage]\nSiteLocation=local\nSecure=1\n"
        "[Expire]\nInterval=Afterwards\nIntervalType=Weeks\n"));
    EXPECT_FALSE(values.docFooter);  // a 2 is no tick
    EXPECT_TRUE(values.directoryBrowsing);
    EXPECT_FALSE(values.refreshOnRun);  // the later true button wins
    EXPECT_TRUE(values.refreshOnStop);
    EXPECT_FALSE(values.userControlled);
    EXPECT_FALSE(values.thisComputer);  // only "Local" exactly
    EXPECT_TRUE(values.secureSite);
    EXPECT_TRUE(values.expireAfter);
    EXPECT_EQ(values.intervalType, "Weeks");
    EXPECT_EQ(LoggingTruth("0"), false);
    EXPECT_EQ(LoggingTruth("-2"), true);
    EXPECT_EQ(LoggingTruth("FALSE"), false);
    EXPECT_EQ(LoggingTruth("yes"), std::nullopt);
}

TEST(OptionsValues, UpdateWritesEveryKeyInOrder) {
    OptionsValues values = LoadOptions(config::Settings::Parse(""));
    values.thisComputer = false;
    values.errorPages.push_back({"500", "ignored.htm"});
    const auto writes = UpdateWrites(values);
    std::vector<std::string> keys;
    for (const auto& write : writes) {
        keys.push_back(write.section + "/" + write.key + "=" + write.value);
    }
    EXPECT_EQ(keys.front(), "Documents/EnableFooter=1");
    EXPECT_EQ(keys[3], "Logging/RefreshOnRun=True");
    EXPECT_EQ(keys[10], "HomePage/SiteLocation=Redir");
    EXPECT_EQ(keys[12], "ErrorPages/401Error=401.htm");
    EXPECT_EQ(keys[17], "ErrorPages/404.4Error=4044.htm");
    EXPECT_EQ(keys[18], "Expire/ContentExpires=0");
    EXPECT_EQ(keys[19], "Expire/Interval=Immediate");
    EXPECT_EQ(keys.back(), "Fault/RebuildDIRS=0");
    EXPECT_EQ(keys.size(), 29u);  // the row "500" writes nothing
}

TEST(OptionsValues, RedirectTargetsAreAbsoluteWebAddresses) {
    EXPECT_TRUE(IsRedirectTarget("http://www.example.com/"));
    EXPECT_TRUE(IsRedirectTarget(" HTTPS://example.com:8443/shop?x=1 "));
    EXPECT_TRUE(IsRedirectTarget("http://[2001:db8::5]:8080"));
    EXPECT_FALSE(IsRedirectTarget("www"));  // a relative URL sends the browser round in circles
    EXPECT_FALSE(IsRedirectTarget("www.example.com"));
    EXPECT_FALSE(IsRedirectTarget("ftp://example.com/"));
    EXPECT_FALSE(IsRedirectTarget("http://"));
    EXPECT_FALSE(IsRedirectTarget("http:///path"));
    EXPECT_FALSE(IsRedirectTarget("http://exa mple.com/"));
    EXPECT_FALSE(IsRedirectTarget("http://x.com/\"><script>"));
}

TEST(AddressEntry, DotsMoveOnAndAPastedAddressFillsEveryBox) {
    const AddressBoxes typed = DistributeAddressInput({{"", "", "", ""}, 0}, 0, "10.");
    EXPECT_EQ(typed.parts, (std::array<std::string, 4>{"10", "", "", ""}));
    EXPECT_EQ(typed.focus, 1);
    const AddressBoxes pasted = DistributeAddressInput({{"", "", "", ""}, 0}, 0, "192.168.1.20");
    EXPECT_EQ(pasted.parts, (std::array<std::string, 4>{"192", "168", "1", "20"}));
    EXPECT_EQ(pasted.focus, 3);
    // A "." typed keeps what the next box holds; the last box has no next.
    const AddressBoxes kept = DistributeAddressInput({{"10", "0", "0", "7"}, 1}, 1, "0.");
    EXPECT_EQ(kept.parts, (std::array<std::string, 4>{"10", "0", "0", "7"}));
    EXPECT_EQ(kept.focus, 2);
    const AddressBoxes last = DistributeAddressInput({{"1", "2", "3", ""}, 3}, 3, "4.5");
    EXPECT_EQ(last.parts[3], "4");
    EXPECT_EQ(last.focus, 3);
    // Pasted into the third box, the rest is dropped; a box keeps three characters.
    const AddressBoxes third = DistributeAddressInput({{"1", "2", "", ""}, 2}, 2, "30.40.50");
    EXPECT_EQ(third.parts, (std::array<std::string, 4>{"1", "2", "30", "40"}));
    EXPECT_EQ(DistributeAddressInput({}, 0, "12345").parts[0], "123");
}

TEST(OptionsValues, PortAndTimeoutChecks) {
    EXPECT_TRUE(IsPortNumber("8080"));
    EXPECT_TRUE(IsPortNumber(" 1 "));
    EXPECT_FALSE(IsPortNumber("0"));
    EXPECT_FALSE(IsPortNumber("65536"));
    EXPECT_FALSE(IsPortNumber("80a"));
    EXPECT_FALSE(IsPortNumber(""));
    EXPECT_TRUE(IsWholeSeconds("30"));
    EXPECT_FALSE(IsWholeSeconds("0"));
    EXPECT_FALSE(IsWholeSeconds("1.5"));
}

}  // namespace
}  // namespace quorvane::ui
