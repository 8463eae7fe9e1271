#include "ui/options/options_values.h"

#include <gtest/gtest.h>

#include <set>

#include "config/setting_keys.h"
#include "ui/options/address_entry.h"

namespace quorvane::ui {
namespace {

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

// The folder page's style round-trips; an unknown word shows, and is then
// written, as the classic page the server serves for it.
TEST(OptionsValues, TheListingStyleIsModernOnlyWhenItSaysSo) {
    const std::pair<std::string, bool> cases[] = {
        {"", false},        {"Modern", true},      {" modern ", true},
        {"Classic", false}, {"Modernised", false}, {"1", false},
    };
    for (const auto& [stored, modern] : cases) {
        const OptionsValues values =
            LoadOptions(config::Settings::Parse("[Documents]\nListingStyle=" + stored + "\n"));
        EXPECT_EQ(values.modernListing, modern) << stored;
        const auto writes = UpdateWrites(values);
        const auto style = std::find_if(writes.begin(), writes.end(), [](const auto& write) {
            return write.key == "ListingStyle";
        });
        ASSERT_NE(style, writes.end());
        EXPECT_EQ(style->value, modern ? "Modern" : "Classic") << stored;
    }
}

TEST(OptionsValues, FlagsTheServerTakesAsOnAtAnyNumberShowTickedAndKeepTheirText) {
    const OptionsValues loaded =
        LoadOptions(config::Settings::Parse("[HomePage]\nScriptAllowed=2\nEXEAllowed=-1\nSecure=2\n"
                                            "[CGI]\nEnabled=2\nEnablePerl=0\n"));
    EXPECT_TRUE(loaded.scriptAllowed && loaded.exeAllowed && loaded.cgiEnabled);
    EXPECT_FALSE(loaded.enablePerl);
    EXPECT_FALSE(loaded.secureSite);  // the server asks for exactly 1 here
    const auto written = [](const OptionsValues& values) {
        std::string flags;
        for (const config::SettingWrite& write : UpdateWrites(values)) {
            for (const char* key : {"ScriptAllowed", "EXEAllowed", "Enabled", "EnablePerl"}) {
                if (write.key == key) {
                    flags += write.key + "=" + write.value + " ";
                }
            }
        }
        return flags;
    };
    EXPECT_EQ(written(loaded), "ScriptAllowed=2 EXEAllowed=-1 Enabled=2 EnablePerl=0 ");
    // A box the user changed writes what it shows.
    OptionsValues changed = loaded;
    changed.scriptAllowed = false;
    changed.enablePerl = true;
    EXPECT_EQ(written(changed), "ScriptAllowed=0 EXEAllowed=-1 Enabled=2 EnablePerl=1 ");
    const std::tuple<const config::SettingKey*, bool, std::string, std::string> cases[] = {
        {&config::setting::kCgiEnabled, true, "2", "2"},
        {&config::setting::kCgiEnabled, true, "0", "1"},
        {&config::setting::kCgiEnabled, false, "2", "0"},
        {&config::setting::kCgiEnabled, true, "", "1"},
        {&config::setting::kSecure, true, "2", "1"},  // never on for the server
        {&config::setting::kSecure, true, "1", "1"},
    };
    for (const auto& [key, ticked, stored, expected] : cases) {
        EXPECT_EQ(FlagToWrite(*key, ticked, stored), expected) << key->key << " " << stored;
    }
}

TEST(OptionsValues, UpdateWritesEveryKeyButTheWindowsOwnOnce) {
    OptionsValues values = LoadOptions(config::Settings::Parse(""));
    values.thisComputer = false;
    values.errorPages.push_back({"500", "ignored.htm"});  // no key of its own
    std::set<std::string> written;
    for (const config::SettingWrite& write : UpdateWrites(values)) {
        EXPECT_TRUE(written.insert(write.section + "/" + write.key).second) << write.key;
        EXPECT_NE(write.value, "ignored.htm");
        EXPECT_TRUE(write.key != "SiteLocation" || write.value == "Redir");
    }
    for (const config::SettingKey& key : config::AllSettings()) {
        EXPECT_EQ(written.count(std::string(key.section) + "/" + std::string(key.key)),
                  key.section == "StartUp" ? 0u : 1u)
            << key.key;
    }
}

TEST(OptionsValues, WriteBoxesAreOffWhereNamesMayRun) {
    struct Case {
        bool scripts, programs, uploads, changes;
        WriteBoxes shown;
    };
    const Case cases[] = {
        {false, false, false, false, {true, false, false}},
        {false, false, true, false, {true, true, false}},
        {false, false, false, true, {true, false, true}},
        {true, false, true, true, {false, false, false}},
        {false, true, true, false, {false, false, false}},
        {true, true, false, false, {false, false, false}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShownWriteBoxes(c.scripts, c.programs, c.uploads, c.changes), c.shown)
            << c.scripts << c.programs << c.uploads << c.changes;
    }
}

TEST(OptionsValues, UploadLimitBoxesShowWhatTheServerTakes) {
    using config::setting::kKeepFreeMiB;
    using config::setting::kMaxFileMiB;
    const std::tuple<const config::SettingKey*, std::string, int> cases[] = {
        {&kKeepFreeMiB, "2048", 2048},
        {&kKeepFreeMiB, " 7 ", 7},
        {&kKeepFreeMiB, "0", 0},
        {&kKeepFreeMiB, "lots", 1024},
        {&kKeepFreeMiB, "-1", 1024},
        {&kKeepFreeMiB, "", 1024},
        {&kMaxFileMiB, "soon", 0},
        {&kMaxFileMiB, "1048576", kMiBBoxMax},
        {&kMaxFileMiB, "5000000", kMiBBoxMax},  // valid, yet beyond the box
    };
    for (const auto& [key, stored, shown] : cases) {
        EXPECT_EQ(MiBBoxValue(*key, stored), shown) << key->key << " " << stored;
    }
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
    EXPECT_TRUE(IsPortNumber(" 1 ") && IsPortNumber("65535") && !IsPortNumber("65536") &&
                IsWholeSeconds("30"));
    for (const char* text : {"0", "90000", "80a", "", "1.5"}) {
        EXPECT_FALSE(IsPortNumber(text)) << text;
        EXPECT_FALSE(IsWholeSeconds(text)) << text;
    }
}

}  // namespace
}  // namespace quorvane::ui
