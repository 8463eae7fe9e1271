// Faults a long-running server meets, each survived: files vanishing or
// turning unreadable under it, clients dropping mid-reply, and settings
// replaced while requests stream in.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>

#include "config/list_files.h"
#include "config/settings_file.h"
#include "server/access_log.h"
#include "server/engine.h"
#include "server/request_handler.h"
#include "support/http_client.h"
#include "support/recording_observer.h"
#include "support/temp_folder.h"

namespace quorvane::server {
namespace {

using namespace std::chrono_literals;

class FaultsTest : public ::testing::Test {
  protected:
    FaultsTest() {
        config::CreateDefaultDocumentList(program_);
        config::CreateMimeList(program_);
        folder_.Write("quorvane.ini", "[HomePage]\r\nRootDirectory=site\r\n");
        folder_.Write("dirs.lst", "\"/\",\"site\",\"No\",\"No\",\"No\"\r\n");
        folder_.Write("site/index.htm", "home");
        folder_.Write("www/index.htm", "default root");
    }

    void Start() {
        log_.OpenEmpty();
        ASSERT_TRUE(engine_.StartListener({"127.0.0.1", 0}));
    }
    std::string Get(std::string_view path) {
        return testing::Exchange(engine_.Port(), "GET " + std::string(path) + " HTTP/1.0\r\n\r\n");
    }
    static std::string Status(const std::string& reply) {
        return reply.substr(0, reply.find("\r\n"));
    }
    static std::string Body(const std::string& reply) {
        const size_t end = reply.find("\r\n\r\n");
        return end == std::string::npos ? "" : reply.substr(end + 4);
    }
    // Puts a folder where a file was: it exists, but cannot be read as one.
    void MakeUnreadable(const char* name) {
        std::filesystem::remove(folder_.Path() / name);
        std::filesystem::create_directory(folder_.Path() / name);
    }

    testing::TempFolder folder_;
    config::ProgramFolder program_ = folder_.Program();
    RequestHandler handler_{program_, {"desk", "10.0.0.2"}};
    testing::RecordingObserver observer_;
    AccessLog log_{folder_.Path() / "quorvane.log",
                   [this](std::string_view problem) { observer_.OnLogAppended(problem); }};
    Engine engine_{handler_, log_, observer_, Timeouts{.linger = 1s}};
};

TEST_F(FaultsTest, SettingsAndListsThatVanishOrTurnUnreadableFallBackToDefaults) {
    Start();
    EXPECT_EQ(Body(Get("/")), "home");
    std::filesystem::remove(folder_.Path() / "quorvane.ini");
    std::filesystem::remove(folder_.Path() / "dirs.lst");
    EXPECT_EQ(Body(Get("/")), "default root");  // RootDirectory's default, www
    MakeUnreadable("quorvane.ini");
    EXPECT_EQ(Body(Get("/")), "default root");
    MakeUnreadable("dirs.lst");
    MakeUnreadable("default.lst");
    EXPECT_EQ(Status(Get("/")), "HTTP/1.1 404 Not Found");  // no default documents now
    EXPECT_EQ(Body(Get("/index.htm")), "default root");
    MakeUnreadable("mime.lst");
    EXPECT_NE(Get("/index.htm").find("Content-Type: text/plain\r\n"), std::string::npos);
}

TEST_F(FaultsTest, ARemovedRootAnswers404) {
    Start();
    std::filesystem::remove_all(folder_.Path() / "site");
    EXPECT_EQ(Status(Get("/")), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(Status(Get("/index.htm")), "HTTP/1.1 404 Not Found");
}

TEST_F(FaultsTest, ARemovedAccessLogIsStartedAgainAndSaidOnce) {
    Start();
    Get("/");
    log_.Flush();
    std::filesystem::remove(folder_.Path() / "quorvane.log");
    for (int i = 0; i < 3; ++i) {
        Get("/index.htm");
    }
    log_.Flush();
    const std::string log = observer_.Log();
    const std::string notice = "The access log quorvane.log was removed; a new one was started.";
    EXPECT_NE(log.find(notice), std::string::npos);
    EXPECT_EQ(log.find(notice), log.rfind(notice));
    EXPECT_NE(folder_.Read("quorvane.log").find("GET /index.htm"), std::string::npos);
}

TEST_F(FaultsTest, AnUnwritableAccessLogIsSaidOnceAndServingGoesOn) {
    // /dev/full refuses every write, as a full disk or a read-only folder would.
    std::filesystem::create_symlink("/dev/full", folder_.Path() / "quorvane.log");
    Start();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Body(Get("/")), "home");
        log_.Flush();
    }
    const std::string log = observer_.Log();
    const std::string notice =
        "The access log quorvane.log cannot be written: No space left on device";
    EXPECT_NE(log.find(notice), std::string::npos) << log;
    EXPECT_EQ(log.find(notice), log.rfind(notice));
}

TEST_F(FaultsTest, AClientResettingMidFileLeavesTheServerWhole) {
    folder_.Write("site/big.bin", std::string(50 * 1024 * 1024, 'b'));
    Start();
    for (int i = 0; i < 3; ++i) {
        testing::RawClient client(engine_.Port());
        ASSERT_TRUE(client.Send("GET /big.bin HTTP/1.0\r\n\r\n"));
        char some[4096];
        ASSERT_GT(::recv(client.Descriptor(), some, sizeof some, 0), 0);
        const linger reset{1, 0};  // close with RST
        ::setsockopt(client.Descriptor(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        client.Close();
    }
    EXPECT_TRUE(observer_.WaitForLoad(0));
    EXPECT_EQ(Body(Get("/")), "home");
}

TEST_F(FaultsTest, UpdatesRacingRequestsAreSeenWholeOrNotAtAll) {
    folder_.Write("a/index.htm", "<html>site A</html>");
    folder_.Write("b/index.htm", "<html>site B</html>");
    folder_.Write("dirs.lst", "");
    folder_.Write("quorvane.ini",
                  "[HomePage]\r\nRootDirectory=a\r\n[Documents]\r\nEnableFooter=1\r\n"
                  "FooterHTML=[A]\r\n");
    Start();
    std::atomic<bool> done{false};
    std::thread updater([&] {
        const config::SettingWrite toA[] = {{"HomePage", "RootDirectory", "a"},
                                            {"Documents", "FooterHTML", "[A]"}};
        const config::SettingWrite toB[] = {{"HomePage", "RootDirectory", "b"},
                                            {"Documents", "FooterHTML", "[B]"}};
        for (int i = 0; !done; ++i) {
            config::WriteSettings(program_.SettingsPath(), i % 2 ? toA : toB);
        }
    });
    int mixed = 0;
    for (int i = 0; i < 1000; ++i) {
        const std::string body = Body(Get("/"));
        mixed += body == "<html>site A[A]</html>" || body == "<html>site B[B]</html>" ? 0 : 1;
    }
    done = true;
    updater.join();
    EXPECT_EQ(mixed, 0);
}

}  // namespace
}  // namespace quorvane::server
