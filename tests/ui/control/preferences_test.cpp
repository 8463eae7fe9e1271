#include "ui/control/preferences.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace quorvane::ui {
namespace {

TEST(AutostartEntry, ExecValuesAreQuotedOnlyWhenNeeded) {
    EXPECT_EQ(AutostartEntry::ExecValue("/opt/quorvane/quorvane"), "/opt/quorvane/quorvane");
    EXPECT_EQ(AutostartEntry::ExecValue("/home/me/My Apps/quorvane"),
              "\"/home/me/My Apps/quorvane\"");
    EXPECT_EQ(AutostartEntry::ExecValue("/a$b/q\"x\\y"), "\"/a\\\\$b/q\\\\\"x\\\\\\\\y\"");
}

TEST(AutostartEntry, ANamedProgramFolderHasAnEntryOfItsOwnThatNamesIt) {
    testing::TempFolder folder;
    const auto autostart = folder.Path() / "autostart";
    const AutostartEntry standard(autostart, "/opt/q/quorvane");
    const AutostartEntry site(autostart, "/opt/q/quorvane", folder.Path() / "my site");
    const AutostartEntry sameSite(autostart, "/opt/q/quorvane", folder.Path() / "x/../my site/");
    const AutostartEntry other(autostart, "/opt/q/quorvane", folder.Path() / "other");
    EXPECT_EQ(standard.Path(), autostart / "quorvane.desktop");
    EXPECT_EQ(site.Path(), sameSite.Path());
    EXPECT_NE(site.Path(), other.Path());
    EXPECT_NE(site.Path(), standard.Path());
    ASSERT_TRUE(site.Write(true));
    ASSERT_TRUE(other.Write(true));
    EXPECT_NE(folder.Read("autostart/" + site.Path().filename().string())
                  .find("\nExec=/opt/q/quorvane --folder \"" +
                        (folder.Path() / "my site").string() + "\"\n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(standard.Path()));
    ASSERT_TRUE(site.Write(false));  // turning one off leaves the other on
    EXPECT_NE(folder.Read("autostart/" + other.Path().filename().string()).find("\nHidden=false\n"),
              std::string::npos);
}

TEST(AutostartFolder, FollowsXdgConfigHomeElseHome) {
    EXPECT_EQ(AutostartFolder("/cfg", "/home/me"), "/cfg/autostart");
    EXPECT_EQ(AutostartFolder(nullptr, "/home/me"), "/home/me/.config/autostart");
    EXPECT_EQ(AutostartFolder("relative", "/home/me"), "/home/me/.config/autostart");
}

TEST(StartupPreferences, WriteTheSettingsAndTheAutostartEntry) {
    testing::TempFolder folder;
    const config::ProgramFolder program = folder.Program();
    folder.WriteSettings({{"StartUp", "Minimise", "False"}});
    StartupPreferences preferences(program,
                                   AutostartEntry(folder.Path() / "autostart", "/opt/q/quorvane"));
    ASSERT_TRUE(preferences.SetAutoStart(true));
    ASSERT_TRUE(preferences.SetMinimiseOnStart(true));
    const auto settings = config::Settings::Load(program.SettingsPath());
    EXPECT_EQ(settings.Read("StartUp", "AutoStart", ""), "True");
    EXPECT_EQ(settings.Read("StartUp", "Minimise", ""), "True");
    const std::string on = folder.Read("autostart/quorvane.desktop");
    EXPECT_NE(on.find("\nExec=/opt/q/quorvane\n"), std::string::npos);
    EXPECT_NE(on.find("\nHidden=false\n"), std::string::npos);

    ASSERT_TRUE(preferences.SetAutoStart(false));
    EXPECT_EQ(config::Settings::Load(program.SettingsPath()).Read("StartUp", "AutoStart", ""),
              "False");
    EXPECT_NE(folder.Read("autostart/quorvane.desktop").find("\nHidden=true\n"), std::string::npos);
}

}  // namespace
}  // namespace quorvane::ui
