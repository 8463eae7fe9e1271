// Faults a long-running server meets, each survived: files vanishing or
// turning unreadable under it, clients dropping mid-reply, and settings
// replaced while requests stream in.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "support/test_site.h"

namespace quorvane::server {
namespace {

using namespace std::chrono_literals;

class FaultsTest : public ::testing::Test, public testing::RunningSite {
  protected:
    FaultsTest() {
        folder.WriteSettings({{"HomePage", "RootDirectory", "site"}});
        folder.WriteDirs({{"/", "site"}});
        folder.Write("site/index.htm", "home");
        folder.Write("www/index.htm", "default root");
    }

    // Puts a folder where a file was: it exists, but cannot be read as one.
    void MakeUnreadable(const char* name) {
        std::filesystem::remove(folder.Path() / name);
        std::filesystem::create_directory(folder.Path() / name);
    }
};

TEST_F(FaultsTest, SettingsAndListsThatVanishFallBackToDefaults) {
    EXPECT_EQ(testing::BodyOf(Fetch("/")), "home");
    std::filesystem::remove(folder.Path() / "quorvane.ini");
    std::filesystem::remove(folder.Path() / "dirs.lst");
    EXPECT_EQ(testing::BodyOf(Fetch("/")), "default root");  // RootDirectory's default, www
    std::filesystem::remove(folder.Path() / "default.lst");
    EXPECT_EQ(testing::StatusOf(Fetch("/")), "HTTP/1.1 404 Not Found");  // no default documents now
    std::filesystem::remove(folder.Path() / "mime.lst");  // the system's table answers instead
    EXPECT_NE(Fetch("/index.htm").find("Content-Type: text/html\r\n"), std::string::npos);
}

TEST_F(FaultsTest, AFileThatCannotBeReadKeepsItsLastGoodCopyAndIsSaidOnce) {
    folder.WriteUsers({{"guest", "pw"}});
    folder.WriteAddresses(config::kBlockList, {"10.9.9.9"});
    folder.WriteDirs({{"/", "site"}, {"/vault/", "vault", true}});
    folder.Write("vault/s.txt", "SECRET");
    EXPECT_EQ(testing::StatusOf(Fetch("/vault/s.txt")), "HTTP/1.1 401 Unauthorized");
    for (const char* name : {"quorvane.ini", "dirs.lst", "iplist.lst", "users.lst"}) {
        MakeUnreadable(name);
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(testing::StatusOf(Fetch("/vault/s.txt")), "HTTP/1.1 401 Unauthorized");
        EXPECT_EQ(testing::BodyOf(Fetch("/")), "home");
    }
    const std::string notice =
        "dirs.lst cannot be read (it is not a plain file); the copy read before stays in use "
        "until it can be read again.";
    EXPECT_TRUE(observer.WaitForLog(notice)) << observer.Log();
    EXPECT_EQ(observer.Log().find(notice), observer.Log().rfind(notice));
    // Readable again, the file applies to the very next request.
    std::filesystem::remove(folder.Path() / "dirs.lst");
    folder.WriteDirs({{"/", "site"}});
    EXPECT_EQ(testing::StatusOf(Fetch("/vault/s.txt")), "HTTP/1.1 404 Not Found");
}

TEST_F(FaultsTest, AGuardingFileNeverReadRefusesEveryRequestUntilItCanBe) {
    for (const char* name : {"iplist.lst", "users.lst", "dirs.lst", "nocgi.lst", "quorvane.ini"}) {
        testing::RunningSite fresh;
        fresh.folder.Write("www/index.htm", "home");
        std::filesystem::create_directory(fresh.folder.Path() / name);
        EXPECT_EQ(testing::StatusOf(fresh.Fetch("/index.htm")), "HTTP/1.1 503 Service Unavailable")
            << name;
        EXPECT_TRUE(fresh.observer.WaitForLog(std::string(name) +
                                              " cannot be read (it is not a plain file); requests "
                                              "are refused until it can be read."))
            << name;
        std::filesystem::remove(fresh.folder.Path() / name);
        EXPECT_EQ(testing::BodyOf(fresh.Fetch("/index.htm")), "home") << name;
    }
}

TEST_F(FaultsTest, AFifoInAFilesPlaceNeverHoldsTheServer) {
    folder.WriteUsers({{"guest", "pw"}});
    EXPECT_EQ(testing::BodyOf(Fetch("/")), "home");
    log.Close();
    for (const char* name : {"users.lst", "404.htm", "quorvane.log"}) {
        std::filesystem::remove(folder.Path() / name);
        ASSERT_EQ(::mkfifo((folder.Path() / name).c_str(), 0600), 0) << name;
    }
    log.OpenForAppend();
    EXPECT_EQ(testing::StatusOf(Fetch("/missing.htm")), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(testing::BodyOf(Fetch("/")), "home");
    log.Flush();
    EXPECT_TRUE(observer.WaitForLog("The access log quorvane.log cannot be"));
}

TEST_F(FaultsTest, ARemovedRootAnswers404) {
    std::filesystem::remove_all(folder.Path() / "site");
    EXPECT_EQ(testing::StatusOf(Fetch("/")), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(testing::StatusOf(Fetch("/index.htm")), "HTTP/1.1 404 Not Found");
}

TEST_F(FaultsTest, ARemovedAccessLogIsStartedAgainAndSaidOnce) {
    Fetch("/");
    log.Flush();
    std::filesystem::remove(folder.Path() / "quorvane.log");
    for (int i = 0; i < 3; ++i) {
        Fetch("/index.htm");
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
        EXPECT_EQ(testing::BodyOf(Fetch("/")), "home");
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
    EXPECT_EQ(testing::BodyOf(Fetch("/")), "home");
}

TEST_F(FaultsTest, UpdatesRacingRequestsAreSeenWholeOrNotAtAll) {
    folder.Write("a/index.htm", "<html>site A</html>");
    folder.Write("b/index.htm", "<html>site B</html>");
    folder.WriteDirs({});
    folder.WriteSettings({{"HomePage", "RootDirectory", "a"},
                          {"Documents", "EnableFooter", "1"},
                          {"Documents", "FooterHTML", "[A]"}});
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
        const std::string body = testing::BodyOf(Fetch("/"));
        mixed += body == "<html>site A[A]</html>" || body == "<html>site B[B]</html>" ? 0 : 1;
    }
    done = true;
    updater.join();
    EXPECT_EQ(mixed, 0);
}

}  // namespace
}  // namespace quorvane::server
