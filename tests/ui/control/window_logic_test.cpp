#include <gtest/gtest.h>

#include "server/host_identity.h"
#include "support/temp_folder.h"
#include "ui/control/host_addresses.h"
#include "ui/control/information_view.h"
#include "ui/control/instance_key.h"

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
    EXPECT_FALSE(server::ListHostAddresses().empty());  // the loopback interface at least
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

TEST(InformationView, StartFailuresSayWhatToDo) {
    EXPECT_EQ(StartFailureText("80", "Permission denied"),
              "Quorvane could not listen on port 80: Permission denied. Ports below 1024 need "
              "administrator rights; choose a port from 1024 up on the Home Directory tab of the "
              "options.");
    EXPECT_EQ(StartFailureText("8080", "Permission denied"),
              "Quorvane could not listen on port 8080: Permission denied.");
    EXPECT_NE(StartFailureText("eighty", "not a port number from 1 to 65535").find("1 to 65535 on"),
              std::string::npos);
}

TEST(InformationView, AShareLinkGoesOverHttpsWhileItIsOn) {
    const struct {
        std::optional<std::string> lan;
        uint16_t httpsPort;
        bool locallyOnly;
        std::string_view site;
    } cases[] = {
        {"192.168.1.20", 0, false, "http://192.168.1.20:8080"},
        {"192.168.1.20", 8443, false, "https://192.168.1.20:8443"},
        {"192.168.1.20", 443, true, "https://desk"},
        {std::nullopt, 0, false, "http://desk:8080"},
        {"2001:db8::5", 0, false, "http://[2001:db8::5]:8080"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShareLinkSite(c.lan, "desk", 8080, c.httpsPort, c.locallyOnly), c.site)
            << c.lan.value_or("none");
    }
}

TEST(InformationView, TheFileManagerAddressShowsWhileAFolderTakesWrites) {
    using config::VirtualDirectory;
    const VirtualDirectory uploads{.name = "/drop/", .folder = "d", .uploads = true};
    const VirtualDirectory changes{.name = "/edit/", .folder = "e", .changes = true};
    const VirtualDirectory scripted{
        .name = "/cgi/", .folder = "c", .scripts = true, .uploads = true, .changes = true};
    const VirtualDirectory programs{
        .name = "/bin/", .folder = "b", .programs = true, .changes = true};
    const VirtualDirectory secured{.name = "/private/", .folder = "p", .secure = true};
    struct Case {
        const char* settings;
        std::vector<VirtualDirectory> dirs;
        uint16_t httpsPort;
        std::optional<std::string> address;
    };
    const Case cases[] = {
        {"", {}, 0, std::nullopt},
        {"", {secured}, 443, std::nullopt},
        {"[HomePage]\nUploads=1\n", {}, 0, "dav://host.example:8080/"},
        {"[HomePage]\nChanges=1\n", {secured}, 443, "davs://host.example:443/"},
        {"[HomePage]\nUploads=2\nChanges=yes\n", {}, 0, std::nullopt},  // only 1 turns on
        // Where names may run at the root, the root takes nothing.
        {"[HomePage]\nUploads=1\nChanges=1\nScriptAllowed=1\n", {}, 0, std::nullopt},
        {"[HomePage]\nUploads=1\nEXEAllowed=2\n", {}, 0, std::nullopt},
        {"[HomePage]\nUploads=1\nEXEAllowed=2\n", {changes}, 0, "dav://host.example:8080/"},
        {"", {uploads}, 0, "dav://host.example:8080/"},
        {"", {secured, changes}, 8443, "davs://host.example:8443/"},
        {"", {scripted, programs}, 0, std::nullopt},
        {"[HomePage]\nScriptAllowed=1\n", {programs, uploads}, 0, "dav://host.example:8080/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileManagerAddress(config::Settings::Parse(c.settings), c.dirs, "host.example",
                                     8080, c.httpsPort),
                  c.address)
            << c.settings << " " << c.dirs.size() << " " << c.httpsPort;
    }
    // Every port is named, also the usual ones; an IPv6 host goes in brackets.
    EXPECT_EQ(FileManagerAddress(config::Settings::Parse(""), {uploads}, "2001:db8::5", 80, 0),
              "dav://[2001:db8::5]:80/");
}

TEST(InformationView, AnnouncedAddressesNameTheHostInLocal) {
    const server::SiteAnnouncement plan{
        "Quorvane2000 on den",
        {{"_http._tcp", 8080, {}}, {"_webdav._tcp", 8080, {}}, {"_https._tcp", 443, {}}}};
    EXPECT_EQ(AnnouncedAddresses(plan, "den.example.org"),
              (std::vector<std::string>{"http://den.local:8080/", "https://den.local/"}));
    EXPECT_TRUE(AnnouncedAddresses({}, "den").empty());
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

}  // namespace
}  // namespace quorvane::ui
