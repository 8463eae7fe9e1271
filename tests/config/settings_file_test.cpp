
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "config/text.h"
#include "support/temp_folder.h"

namespace quorvane::config {
namespace {

TEST(SettingsRead, FindsKeysIgnoringCaseAndStripsBlanksAndQuotes) {
    const Settings settings = Settings::Parse(
        "[HomePage]\r\n"
        "RootDirectory =  /srv/site  \r\n"
        "Secure=\r\n"
        "[documents]\n"
        "FooterHTML=\"<b>quoted</b>\"\n"
        "Single='x'\n"
        "Unbalanced=\"left\n");
    EXPECT_TRUE(settings.FileFound());
    EXPECT_EQ(settings.Read("homepage", "rootdirectory", "d"), "/srv/site");
    EXPECT_EQ(settings.Read("HomePage", "Secure", "0"), "");  // present but empty: not the default
    EXPECT_EQ(settings.Read("Documents", "FooterHTML", ""), "<b>quoted</b>");
    EXPECT_EQ(settings.Read("Documents", "Single", ""), "x");
    EXPECT_EQ(settings.Read("Documents", "Unbalanced", ""), "\"left");
    EXPECT_EQ(settings.Read("Documents", "Missing", "fallback"), "fallback");
    EXPECT_EQ(settings.Read("NoSection", "RootDirectory", "fallback"), "fallback");
}

// One run's overrides stand in front of the file's values and leave the
// file, and whether it was found, as they were.
TEST(SettingsOverrides, StandInFrontOfTheFilesValues) {
    const Settings file = Settings::Parse("[Server]\r\nPort=80\r\n[HomePage]\r\nSecure=1\r\n");
    const std::vector<SettingWrite> writes = {{"Server", "Port", "8081"},
                                              {"Documents", "DirectoryBrowsing", "1"}};
    const Settings run = file.With(writes);
    EXPECT_EQ(run.Read("server", "port", ""), "8081");
    EXPECT_EQ(run.Read("Documents", "DirectoryBrowsing", "0"), "1");
    EXPECT_EQ(run.Read("HomePage", "Secure", "0"), "1");
    EXPECT_EQ(file.Read("Server", "Port", ""), "80");
    EXPECT_FALSE(Settings().With(writes).FileFound());
}

TEST(SettingsWrite, ReplacesInPlaceAppendsToSectionOrAddsSection) {
    const std::string original =
        "; hand-written comment\r\n"
        "[HomePage]\r\n"
        "RootDirectory=old\r\n"
        "Secure=0\r\n"
        "\r\n"
        "[Documents]\r\n"
        "EnableFooter=1\r\n";
    const SettingWrite writes[] = {{"homepage", "ROOTDIRECTORY", "/new"},
                                   {"HomePage", "ScriptAllowed", "1"},
                                   {"Expire", "Interval", "After"}};
    EXPECT_EQ(ApplySettingWrites(original, writes),
              "; hand-written comment\r\n"
              "[HomePage]\r\n"
              "ROOTDIRECTORY=/new\r\n"
              "Secure=0\r\n"
              "ScriptAllowed=1\r\n"
              "\r\n"
              "[Documents]\r\n"
              "EnableFooter=1\r\n"
              "\r\n"
              "[Expire]\r\n"
              "Interval=After\r\n");
}

TEST(SettingsWrite, CreatesTheFileKeepsItsPermissionsAndRefusesLineBreaks) {
    testing::TempFolder folder;
    const auto path = folder.Path() / "quorvane.ini";
    const std::string footer(300, 'x');
    ASSERT_TRUE(WriteSetting(path, "Documents", "FooterHTML", footer));
    EXPECT_EQ(Settings::Load(path).Read("Documents", "FooterHTML", ""), footer);

    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(WriteSetting(path, "Documents", "EnableFooter", "1"));
    EXPECT_EQ(testing::ModeOf(path), 0640u);
    const std::string written = folder.Read("quorvane.ini");
    const SettingWrite writes[] = {{"A", "B", "2"}, {"A", "C", "two\r\nlines"}};
    EXPECT_FALSE(WriteSettings(path, writes));
    EXPECT_EQ(folder.Read("quorvane.ini"), written);
    // No scratch file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(ValueForms, FlagsTruthWordsAndLeadingNumbers) {
    EXPECT_TRUE(FlagEqualsOne(" 1abc"));
    EXPECT_FALSE(FlagEqualsOne("Yes"));
    EXPECT_FALSE(FlagNotZero("abc"));
    EXPECT_TRUE(IsTruthWord("Truex"));
    EXPECT_FALSE(IsTruthWord("true"));
    EXPECT_DOUBLE_EQ(LeadingNumber("  -2.5 days"), -2.5);
    EXPECT_DOUBLE_EQ(LeadingNumber("+7"), 7);
    EXPECT_DOUBLE_EQ(LeadingNumber(".5"), 0.5);
}

}  // namespace
}  // namespace quorvane::config
