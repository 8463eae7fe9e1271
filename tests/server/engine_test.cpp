#include "server/engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "config/list_files.h"
#include "support/test_site.h"

namespace quorvane::server {
namespace {

using namespace std::chrono_literals;
using testing::Exchange;
using testing::RawClient;

class EngineTest : public ::testing::Test, public testing::RunningSite {
  protected:
    EngineTest() : RunningSite(Timeouts{.head = 1s, .body = 1s, .sendIdle = 2s, .linger = 1s}) {
        config::CreateDirsList(program);
        folder.WriteSettings({{"HomePage", "RootDirectory", "www"}});
        folder.Write("www/index.htm", "<html>home</html>");
        folder.Write("www/other.txt", "other");
    }
};

// Edits made between requests are seen whole: a request that arrives while
// the settings and a list are being replaced one after the other waits for
// both, never answered from the new settings with the old list.
TEST_F(EngineTest, EditsMadeBetweenRequestsAreSeenAllOrNone) {
    folder.Write("www2/page.htm", "NEW-ROOT");
    folder.Write("www2/docs/page.htm", "NEW-DOCS");
    folder.Write("www/olddocs/page.htm", "OLD-DOCS");
    folder.WriteDirs({{"/docs/", "www/olddocs"}});
    ASSERT_EQ(testing::BodyOf(Exchange(Port(), "GET /docs/page.htm HTTP/1.0\r\n\r\n")), "OLD-DOCS");
    std::atomic<bool> settingsWritten = false;
    std::string reply;
    std::thread client([&] {
        for (int i = 0; i < 200 && !settingsWritten; ++i) {
            std::this_thread::sleep_for(5ms);
        }
        reply = Exchange(Port(), "GET /docs/page.htm HTTP/1.0\r\n\r\n");
    });
    engine.Between([&] {
        folder.WriteSettings({{"HomePage", "RootDirectory", "www2"}});
        settingsWritten = true;
        std::this_thread::sleep_for(300ms);  // the request arrives meanwhile
        folder.WriteDirs({});                // the new root holds docs/ itself
    });
    client.join();
    EXPECT_EQ(testing::BodyOf(reply), "NEW-DOCS");
    EXPECT_EQ(testing::BodyOf(Exchange(Port(), "GET /page.htm HTTP/1.0\r\n\r\n")), "NEW-ROOT");
}

TEST_F(EngineTest, ServesARequestAndKeepsTheLogs) {
    const std::string port = std::to_string(Port());
    EXPECT_TRUE(
        observer.WaitForLog("Listening on port: " + port + "\r\nQuorvane Ready...\r\n\r\n"));
    EXPECT_EQ(observer.Log().rfind("Quorvane started at ", 0), 0u);

    EXPECT_TRUE(Exchange(Port(), "GET /index.htm HTTP/1.0\r\n\r\n").ends_with("<html>home</html>"));
    EXPECT_TRUE(observer.WaitForLog("Connection By: 127.0.0.1 For Document: index.htm\r\n"));
    // Records are buffered, yet reach the file within a second or so.
    const auto logged = [&](const std::string& record) {
        for (int i = 0; i < 30; ++i) {
            if (folder.Read("quorvane.log").find(record) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
    };
    EXPECT_TRUE(logged("],GET /index.htm HTTP/1.0\r\r\n"));
}

TEST_F(EngineTest, OverlappingConnectionsAreEachAnsweredOnTheirOwnSocket) {
    RawClient first(Port());
    ASSERT_TRUE(first.Send("GET /index.htm HT"));  // half a request, still waiting
    RawClient second(Port());
    ASSERT_TRUE(second.Send("GET /other.txt HTTP/1.0\r\n\r\n"));
    const std::string secondReply = second.ReadAll();
    second.Close();
    ASSERT_TRUE(first.Send("TP/1.0\r\n\r\n"));
    const std::string firstReply = first.ReadAll();
    EXPECT_NE(secondReply.find("\r\n\r\nother"), std::string::npos);
    EXPECT_NE(firstReply.find("\r\n\r\n<html>home</html>"), std::string::npos);
}

TEST_F(EngineTest, SlowClientIsServedStalledAndClosingClientsAreDroppedQuietly) {
    {
        RawClient slow(Port());
        for (char c : std::string("GET /other.txt HTTP/1.0\r\n\r\n")) {
            ASSERT_TRUE(slow.Send(std::string(1, c)));
            std::this_thread::sleep_for(5ms);
        }
        EXPECT_TRUE(slow.ReadAll().ends_with("other"));
    }
    {
        RawClient stalled(Port());
        ASSERT_TRUE(stalled.Send("GET /other.txt"));
        EXPECT_TRUE(stalled.ClosedWithoutReply());  // after the head time limit
    }
    {
        RawClient closing(Port());
        closing.Close();
    }
    EXPECT_TRUE(observer.WaitForLoad(0));
    EXPECT_TRUE(observer.WaitForLog("Connection By: 127.0.0.1\r\nConnection By: 127.0.0.1\r\n"));
    EXPECT_EQ(folder.Read("quorvane.log").find("GET /other.txt\r"), std::string::npos);
}

// Unread data after the head must not reset the connection under the reply.
TEST_F(EngineTest, DataLeftUnreadAfterTheHeadDoesNotCutTheReply) {
    const std::string junk = "GET /other.txt HTTP/1.0\r\n\r\n" + std::string(300000, 'j');
    EXPECT_TRUE(Exchange(Port(), junk).ends_with("\r\n\r\nother"));
}

TEST_F(EngineTest, StartFailureIsReportedAndRestartsLeaveOneListener) {
    const uint16_t taken = Port();
    testing::RecordingObserver other;
    Engine second(handler, log, other);
    EXPECT_FALSE(second.StartListener({{"127.0.0.1"}, taken}));
    EXPECT_FALSE(second.IsListening());
    EXPECT_EQ(other.Log(), "Quorvane could not listen on port " + std::to_string(taken) +
                               ": Address already in use\r\n");
    EXPECT_EQ(other.Failure(), "Address already in use");

    ASSERT_TRUE(engine.StartListener({{"127.0.0.1"}, taken}));  // a restart on the same port
    EXPECT_TRUE(Exchange(taken, "GET /other.txt HTTP/1.0\r\n\r\n").ends_with("other"));

    // A stop ends kept connections too.
    RawClient open(taken);
    ASSERT_TRUE(open.Send("GET /other.txt HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_TRUE(open.ReadReply().ends_with("other"));
    engine.StopListener();
    EXPECT_TRUE(observer.Log().ends_with("\r\nQuorvane Halted"));
    EXPECT_EQ(observer.Load(), 0);
    EXPECT_EQ(observer.Stops(), 1);
    EXPECT_TRUE(open.ClosedWithoutReply());
    EXPECT_FALSE(RawClient(taken).Connected());
}

}  // namespace
}  // namespace quorvane::server
