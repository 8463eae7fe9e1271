// Faults a long-running server meets, each survived: files vanishing or
// turning unreadable under it, clients dropping mid-reply, and settings
// replaced while requests stream in.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>

#include "config/settings_file.h"
#include "support/http_client.h"
#include "support/test_site.h"

namespace quorvane::server {
namespace {

using namespace std::chrono_literals;

class FaultsTest : public ::testing::Test, public testing::RunningSite {
  protected:
    FaultsTest() {
        folder.Write("quorvane.ini", "[HomePage]\r\nRootDirectory=site\r\n");
        folder.Write("dirs.lst", "\"/\",\"site\",\"No\",\"No\",\"No\"\r\n");
        folder.Write("site/index.htm", "home");
        folder.Write("www/index.htm", "default root");
    }

    std::string Get(std::string_view path) { return Fetch(path); }
    // Puts a folder where a file was: it exists, but cannot be read as one.
    void MakeUnreadable(const char* name) {
        std::filesystem::remove(folder.Path() / name);
        std::filesystem::create_directory(folder.Path() / name);
    }
};

TEST_F(FaultsTest, SettingsAndListsThatVanishOrTurnUnreadableFallBackToDefaults) {
    EXPECT_EQ(testing::BodyOf(Get("/")), "home");
    std::filesystem::remove(folder.Path() / "quorvane.ini");
    std::filesystem::remove(folder.Path() / "dirs.lst");
    EXPECT_EQ(testing::BodyOf(Get("/")), "default root");  // RootDirectory's default, www
    MakeUnreadable("quorvane.ini");
    EXPECT_EQ(testing::BodyOf(Get("/")), "default root");
    MakeUnreadable("dirs.lst");
    MakeUnreadable("default.lst");
    EXPECT_EQ(testing::StatusOf(Get("/")), "HTTP/1.1 404 Not Found");  // no default documents now
    EXPECT_EQ(testing::BodyOf(Get("/index.htm")), "default root");
    MakeUnreadable("mime.lst");  // the system's table answers instead
    EXPECT_NE(Get("/index.htm").find("Content-Type: text/html\r\n"), std::string::npos);
}

TEST_F(FaultsTest, ARemovedRootAnswers404) {
    std::filesystem::remove_all(folder.Path() / "site");
    EXPECT_EQ(testing::StatusOf(Get("/")), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(testing::StatusOf(Get("/index.htm")), "HTTP/1.1 404 Not Found");
}

TEST_F(FaultsTest, ARemovedAccessLogIsStartedAgainAndSaidOnce) {
    Get("/");
    log.Flush();
    std::filesystem::remove(folder.Path() / "quorvane.log");
    for (int i = 0; i < 3; ++i) {
        Get("/index.htm");
    }
    log.Flush();
    const std::string log = observer.Log();
    const std::string notice = "The access log quorvane.log was removed; a new one was started.";
    EXPECT_NE(log.find(notice), std::string::npos);
    EXPECT_EQ(log.find(notice), log.rfind(notice));
    EXPECT_NE(folder.Read("quorvane.log").find("GET /index.htm"), std::string::npos);
}

TEST_F(FaultsTest, AnUnwritableAccessLogIsSaidOnceAndServingGoesOn) {
    // /dev/full refuses every write, as a full disk or a read-only folder would.
    log.Close();
    std::filesystem::remove(folder.Path() / "quorvane.log");
    std::filesystem::create_symlink("/dev/full", folder.Path() / "quorvane.log");
    log.OpenEmpty();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(testing::BodyOf(Get("/")), "home");
        log.Flush();
    }
    const std::string log = observer.Log();
    const std::string notice =
        "The access log quorvane.log cannot be written: No space left on device";
    EXPECT_NE(log.find(notice), std::string::npos) << log;
    EXPECT_EQ(log.find(notice), log.rfind(notice));
}

TEST_F(FaultsTest, AClientResettingMidFileLeavesTheServerWhole) {
    folder.Write("site/big.bin", std::string(50 * 1024 * 1024, 'b'));
    for (int i = 0; i < 3; ++i) {
        testing::RawClient client(engine.Port());
        ASSERT_TRUE(client.Send("GET /big.bin HTTP/1.0\r\n\r\n"));
        char some[4096];
        ASSERT_GT(::recv(client.Descriptor(), some, sizeof some, 0), 0);
        const linger reset{1, 0};  // close with RST
        ::setsockopt(client.Descriptor(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        client.Close();
    }
    EXPECT_TRUE(observer.WaitForLoad(0));
    EXPECT_EQ(testing::BodyOf(Get("/")), "home");
}

TEST_F(FaultsTest, UpdatesRacingRequestsAreSeenWholeOrNotAtAll) {
    folder.Write("a/index.htm", "<html>site A</html>");
    folder.Write("b/index.htm", "<html>site B</html>");
    folder.Write("dirs.lst", "");
    folder.Write("quorvane.ini",
                 "[HomePage]\r\nRootDirectory=a\r\n[Documents]\r\nEnableFooter=1\r\n"
                 "FooterHTML=[A]\r\n");
    std::atomic<bool> done{false};
    std::thread updater([&] {
        const config::SettingWrite toA[] = {{"HomePage", "RootDirectory", "a"},
                                            {"Documents", "FooterHTML", "[A]"}};
        const config::SettingWrite toB[] = {{"HomePage", "RootDirectory", "b"},
                                            {"Documents", "FooterHTML", "[B]"}};
        for (int i = 0; !done; ++i) {
            config::WriteSettings(program.SettingsPath(), i % 2 ? toA : toB);
        }
    });
    int mixed = 0;
    for (int i = 0; i < 1000; ++i) {
        const std::string body = testing::BodyOf(Get("/"));
        mixed += body == "<html>site A[A]</html>" || body == "<html>site B[B]</html>" ? 0 : 1;
    }
    done = true;
    updater.join();
    EXPECT_EQ(mixed, 0);
}

}  // namespace
}  // namespace quorvane::server
