#include "server/server_control.h"

#include <gtest/gtest.h>
#include <ifaddrs.h>

#include <cstring>

#include "config/address_text.h"
#include "server/listen_plan.h"

#include "support/child_process.h"
#include "support/http_client.h"
#include "support/recording_observer.h"
#include "support/temp_folder.h"
#include "support/test_site.h"

namespace quorvane::server {
namespace {

// A non-loopback IPv4 address of this machine, if it has one.
std::optional<std::string> OtherOwnAddress() {
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) {
        return std::nullopt;
    }
    std::optional<std::string> found;
    for (const ifaddrs* entry = interfaces; entry != nullptr && !found; entry = entry->ifa_next) {
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET) {
            sockaddr_storage address{};
            std::memcpy(&address, entry->ifa_addr, sizeof(sockaddr_in));
            const std::string text = config::SocketAddressText(address);
            if (!text.starts_with("127.")) {
                found = text;
            }
        }
    }
    ::freeifaddrs(interfaces);
    return found;
}

class ServerControlTest : public ::testing::Test {
  protected:
    ServerControl& Control(std::optional<uint16_t> port = 0,
                           std::string listenAddress = "127.0.0.1") {
        control_.emplace(folder_.Program(), observer_,
                         ServerControl::Options{std::move(listenAddress), port});
        return *control_;
    }

    testing::TempFolder folder_;
    testing::RecordingObserver observer_;
    std::optional<ServerControl> control_;
};

TEST_F(ServerControlTest, MissingSettingsFileSkipsTheRestOfStartUp) {
    const StartupReport report = Control().Startup();
    EXPECT_FALSE(report.settingsFound);
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "quorvane.log"));
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "dirs.lst"));
    // The server still starts by hand, on defaults.
    EXPECT_TRUE(control_->ToggleServer());
}

TEST_F(ServerControlTest, StartUpRepairsListsAndReadsItsPreferences) {
    folder_.WriteSettings({{"StartUp", "Minimise", "Truely"},
                           {"StartUp", "AutoStart", "true"},
                           {"Fault", "RebuildDIRS", "1"},
                           {"HomePage", "RootDirectory", "/srv/site"}});
    const StartupReport report = Control().Startup();
    EXPECT_TRUE(report.settingsFound);
    EXPECT_TRUE(report.minimise);
    EXPECT_FALSE(report.autoStart);  // the truth word is letter-case significant
    EXPECT_EQ(report.rootDirectory, "/srv/site");
    EXPECT_TRUE(std::filesystem::exists(folder_.Path() / "dirs.lst"));
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "mime.lst"));
}

TEST_F(ServerControlTest, LogPoliciesDecideWhenTheLogIsEmptied) {
    folder_.Write("quorvane.log", "old record\r\n");
    folder_.WriteSettings(
        {{"Logging", "RefreshOnRun", "False"}, {"Logging", "RefreshOnStop", "False"}});
    EXPECT_EQ(Control().Startup().logPolicy, LogPolicy::kUserControlled);
    ASSERT_TRUE(control_->ToggleServer());
    testing::Exchange(control_->Port(), "GET / HTTP/1.0\r\n\r\n");
    EXPECT_FALSE(control_->ToggleServer());
    EXPECT_FALSE(control_->IsListening());
    EXPECT_EQ(folder_.Read("quorvane.log").rfind("old record\r\n127.0.0.1,[", 0), 0u);
    control_->RefreshLog();
    EXPECT_EQ(folder_.Read("quorvane.log"), "");
    control_.reset();

    folder_.Write("quorvane.log", "old record\r\n");
    folder_.WriteSettings(
        {{"Logging", "RefreshOnRun", "False"}, {"Logging", "RefreshOnStop", "True"}});
    EXPECT_EQ(Control().Startup().logPolicy, LogPolicy::kRefreshOnStop);
    EXPECT_EQ(folder_.Read("quorvane.log"), "old record\r\n");  // kept until the toggle starts
    ASSERT_TRUE(control_->ToggleServer());
    EXPECT_EQ(folder_.Read("quorvane.log"), "");
    control_.reset();

    folder_.Write("quorvane.log", "old record\r\n");
    folder_.WriteSettings({});
    EXPECT_EQ(Control().Startup().logPolicy, LogPolicy::kRefreshOnRun);
    EXPECT_EQ(folder_.Read("quorvane.log"), "");
    EXPECT_EQ(LoggingStatusText(LogPolicy::kRefreshOnRun), "Log Refreshed On Every Run");
}

TEST_F(ServerControlTest, APortThatIsNoPortNumberIsAStartFailure) {
    for (const char* value : {"0", "65536", "80x", "-1", ""}) {
        folder_.WriteSettings({{"Server", "Port", value}});
        Control(std::nullopt).Startup();
        EXPECT_FALSE(control_->ToggleServer()) << value;
        EXPECT_TRUE(observer_.Log().ends_with(std::string("Quorvane could not listen on port ") +
                                              value + ": not a port number from 1 to 65535\r\n"))
            << observer_.Log();
        EXPECT_FALSE(control_->IsListening());
    }
    EXPECT_EQ(ConfiguredPort(config::Settings::Parse("[Server]\nPort= 8080 ")), 8080);
    EXPECT_EQ(ConfiguredPort(config::Settings::Parse("")), 80);
}

TEST_F(ServerControlTest, OnlyThisComputerListensOnLoopbackAlone) {
    folder_.WriteSettings({{"Server", "Listen", "Local"}, {"HomePage", "RootDirectory", "www"}});
    folder_.Write("www/index.htm", "hi");
    folder_.Write("default.lst", "\"index.htm\"\r\n");
    Control(0, "").Startup();
    EXPECT_TRUE(control_->ListensLocallyOnly());
    EXPECT_EQ(control_->ListenSummary(), "Only this computer");
    ASSERT_TRUE(control_->ToggleServer());
    const uint16_t port = control_->Port();
    std::vector<std::string> bound;
    for (const asio::ip::tcp::endpoint& endpoint : control_->Endpoints()) {
        EXPECT_EQ(endpoint.port(), port);
        bound.push_back(endpoint.address().to_string());
    }
    const std::string p = std::to_string(port);
    if (testing::HasIpv6Loopback()) {
        EXPECT_EQ(bound, (std::vector<std::string>{"127.0.0.1", "::1"}));
        EXPECT_EQ(control_->ListenSummary(),
                  "http://127.0.0.1:" + p + " and http://[::1]:" + p + " (this computer only)");
        EXPECT_TRUE(testing::Exchange(port, "GET / HTTP/1.0\r\n\r\n", "::1").ends_with("hi"));
    } else {
        EXPECT_EQ(bound, std::vector<std::string>{"127.0.0.1"});
    }
    // Nothing on loopback is refused; other addresses of this machine are not listened on.
    EXPECT_TRUE(testing::Exchange(port, "GET / HTTP/1.0\r\n\r\n").ends_with("hi"));
    EXPECT_TRUE(control_->ListensLocallyOnly());
    if (const auto other = OtherOwnAddress()) {
        EXPECT_FALSE(testing::RawClient(port, std::chrono::seconds(1), *other).Connected())
            << *other;
    }
}

TEST_F(ServerControlTest, ANamedAddressListensWhereTheNameResolves) {
    folder_.WriteSettings({{"Server", "Listen", "localhost"}});
    Control(0, "").Startup();
    ASSERT_TRUE(control_->ToggleServer()) << observer_.Log();
    EXPECT_TRUE(control_->ListensLocallyOnly());
    EXPECT_FALSE(testing::Exchange(control_->Port(), "GET / HTTP/1.0\r\n\r\n").empty());
    control_->ToggleServer();

    folder_.WriteSettings(
        {{"Server", "Listen", "no-such-host.invalid"}, {"Server", "Port", "8080"}});
    Control(std::nullopt, "").Startup();
    EXPECT_FALSE(control_->ToggleServer());
    EXPECT_NE(observer_.Log().find("Quorvane could not listen on port 8080: the listening address "
                                   "no-such-host.invalid is unknown"),
              std::string::npos)
        << observer_.Log();
    EXPECT_FALSE(control_->ListensLocallyOnly());
}

TEST_F(ServerControlTest, APortThatCannotBeTakenLeavesTheListenerWhereItWas) {
    const uint16_t first = testing::FreePort();
    folder_.WriteSettings({{"Server", "Port", std::to_string(first)}});
    Control(std::nullopt).Startup();
    ASSERT_TRUE(control_->ToggleServer()) << observer_.Log();

    const testing::RunningSite holder;
    folder_.WriteSettings({{"Server", "Port", std::to_string(holder.Port())}});
    std::string problem;
    EXPECT_EQ(control_->FollowListenSettings(&problem), ServerControl::ListenChange::kKept);
    EXPECT_TRUE(control_->IsListening());
    EXPECT_EQ(control_->Port(), first);
    EXPECT_FALSE(testing::Exchange(first, "GET / HTTP/1.0\r\n\r\n").empty());
    EXPECT_TRUE(problem.starts_with("Port " + std::to_string(holder.Port()) +
                                    " could not be taken (Address already in use): Quorvane goes "
                                    "on serving on port " +
                                    std::to_string(first) + "."))
        << problem;
    EXPECT_NE(observer_.Log().find(problem), std::string::npos);
    EXPECT_EQ(observer_.Failure(), "");  // no start failed for the person to see

    // The toggle stops it, as a listener started by hand would be.
    EXPECT_FALSE(control_->ToggleServer());
    EXPECT_FALSE(control_->IsListening());
}

}  // namespace
}  // namespace quorvane::server
