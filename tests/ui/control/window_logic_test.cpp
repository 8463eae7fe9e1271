#include <gtest/gtest.h>

#include "config/settings_file.h"
#include "support/temp_folder.h"
#include "ui/control/host_addresses.h"
#include "ui/control/information_view.h"
#include "ui/control/instance_key.h"
#include "ui/control/qr_code.h"
#include "ui/control/tray_state.h"

namespace quorvane::ui {
namespace {

TEST(HostAddresses, TheLanAddressIsTheFirstReachableOneIpv4First) {
    EXPECT_EQ(ChooseLanAddress(
                  {"127.0.0.1", "::1", "fe80::1", "2001:db8::5", "192.168.1.20", "10.0.0.3"}),
              "192.168.1.20");
    EXPECT_EQ(ChooseLanAddress({"127.0.0.1", "127.1.2.3", "::1", "fe80::1", "2001:db8::5"}),
              "2001:db8::5");
    EXPECT_EQ(ChooseLanAddress({"127.0.0.1", "::1", "fe80::1", "::ffff:127.0.0.1"}), std::nullopt);
    EXPECT_EQ(ChooseLanAddress({}), std::nullopt);
    EXPECT_FALSE(ListHostAddresses().empty());  // the loopback interface at least

    EXPECT_EQ(SiteUrl("vm", 80), "http://vm");
    EXPECT_EQ(SiteUrl("192.168.1.20", 8080), "http://192.168.1.20:8080");
    EXPECT_EQ(SiteUrl("2001:db8::5", 8080), "http://[2001:db8::5]:8080");
}

TEST(HostAddresses, OwnAddressesAreLoopbackAndTheHostsOwn) {
    const std::vector<std::string> host = {"127.0.0.1", "192.168.1.20", "2001:db8::5"};
    EXPECT_TRUE(IsOwnAddress("127.0.0.1", {}));
    EXPECT_TRUE(IsOwnAddress("127.9.8.7", {}));
    EXPECT_TRUE(IsOwnAddress("::1", {}));
    EXPECT_TRUE(IsOwnAddress("192.168.1.20", host));
    EXPECT_TRUE(IsOwnAddress("2001:db8:0::5", host));  // the same address, written longer
    EXPECT_FALSE(IsOwnAddress("192.168.1.2", host));
    EXPECT_FALSE(IsOwnAddress("not an address", host));
}

TEST(InformationView, TheLocationIsAFolderOrTheRedirectUrl) {
    const config::ProgramFolder folder("/opt/q");
    const SiteLocation local =
        DescribeSiteLocation(config::Settings::Parse("[HomePage]\nRootDirectory=www\n"), folder);
    EXPECT_EQ(local.text, "/opt/q/www");
    EXPECT_FALSE(local.isUrl);
    // "Redirect" redirects, as the server's prefix test has it; "local" does not.
    const SiteLocation redirect = DescribeSiteLocation(
        config::Settings::Parse("[HomePage]\nSiteLocation=Redirect\nRootDirectory=http://x.org/\n"),
        folder);
    EXPECT_EQ(redirect.text, "http://x.org/");
    EXPECT_TRUE(redirect.isUrl);
    EXPECT_FALSE(
        DescribeSiteLocation(
            config::Settings::Parse("[HomePage]\nSiteLocation=local\nRootDirectory=/s\n"), folder)
            .isUrl);
}

TEST(InformationView, TheLanRowSaysWhyThereIsNoCode) {
    EXPECT_EQ(DescribeLanAccess("192.168.1.20", 8080, false).url, "http://192.168.1.20:8080");
    EXPECT_TRUE(DescribeLanAccess("192.168.1.20", 8080, false).note.empty());
    const LanAccess local = DescribeLanAccess("192.168.1.20", 8080, true);
    EXPECT_TRUE(local.url.empty());
    EXPECT_EQ(local.note,
              "The server listens on this computer only: other devices cannot open it.");
    EXPECT_TRUE(DescribeLanAccess(std::nullopt, 80, false).url.empty());
    EXPECT_FALSE(DescribeLanAccess(std::nullopt, 80, false).note.empty());
}

TEST(InformationView, StartFailuresSayWhatToDo) {
    EXPECT_EQ(StartFailureText("80", "Permission denied"),
              "Quorvane could not listen on port 80: Permission denied. Ports below 1024 need "
              "administrator rights; choose a port from 1024 up on the Home Directory tab of the "
              "options.");
    EXPECT_EQ(StartFailureText("8080", "Permission denied"),
              "Quorvane could not listen on port 8080: Permission denied.");
    EXPECT_NE(StartFailureText("8080", "Address already in use").find("Another program"),
              std::string::npos);
    EXPECT_NE(StartFailureText("eighty", "not a port number from 1 to 65535").find("1 to 65535 on"),
              std::string::npos);
}

TEST(TrayState, IconTooltipAndClosing) {
    const TrayState serving = DescribeTray("Quorvane2000 - 2.1.0", true, "http://vm:8080");
    EXPECT_TRUE(serving.serving);
    EXPECT_EQ(serving.toolTip, "Quorvane2000 - 2.1.0\nhttp://vm:8080");
    EXPECT_EQ(DescribeTray("Q", false, "http://vm").toolTip, "Q\nstopped");

    EXPECT_EQ(DecideClose(false, true, true), CloseAction::kHideToTray);
    EXPECT_EQ(DecideClose(true, true, true), CloseAction::kEndProgram);    // Exit chosen
    EXPECT_EQ(DecideClose(false, false, true), CloseAction::kEndProgram);  // stopped
    EXPECT_EQ(DecideClose(false, true, false), CloseAction::kEndProgram);  // no tray to return to
}

TEST(InstanceKey, OneKeyPerFolderAndUser) {
    const testing::TempFolder folder;
    const testing::TempFolder other;
    const std::string key = InstanceKey(folder.Path(), 1000);
    EXPECT_EQ(key.rfind("quorvane-1000-", 0), 0u);
    EXPECT_LT(key.size(), 40u);
    EXPECT_EQ(InstanceKey(folder.Path() / "", 1000), key);
    EXPECT_EQ(InstanceKey(folder.Path() / "sub" / "..", 1000), key);
    std::filesystem::create_directory_symlink(folder.Path(), other.Path() / "link");
    EXPECT_EQ(InstanceKey(other.Path() / "link", 1000), key);
    EXPECT_NE(InstanceKey(other.Path(), 1000), key);
    EXPECT_NE(InstanceKey(folder.Path(), 1001), key);
}

TEST(QrCode, EncodesWithFinderPatternsInThreeCorners) {
    const std::optional<QrCode> code = QrCode::Encode("http://192.168.1.20:8080");
    ASSERT_TRUE(code);
    EXPECT_EQ((code->Size() - 21) % 4, 0);  // versions grow by four modules
    const int last = code->Size() - 1;
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{last - 6, 0}, std::pair{0, last - 6}}) {
        EXPECT_TRUE(code->Dark(x, y) && code->Dark(x + 6, y + 6) && code->Dark(x + 3, y + 3));
        EXPECT_FALSE(code->Dark(x + 1, y + 1));  // the light ring inside the frame
    }
    EXPECT_GT(QrCode::Encode(std::string(500, 'a'))->Size(), code->Size());
    EXPECT_FALSE(QrCode::Encode(std::string(8000, 'a')));  // more than any code holds
}

}  // namespace
}  // namespace quorvane::ui
