#include "server/engine.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <thread>

#include "config/list_files.h"
#include "support/http_client.h"
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

TEST_F(EngineTest, ServesARequestAndKeepsTheLogs) {
    const std::string port = std::to_string(Port());
    EXPECT_TRUE(
        observer.WaitForLog("Listening on port: " + port + "\r\nQuorvane Ready...\r\n\r\n"));
    EXPECT_EQ(observer.Log().rfind("Quorvane started at ", 0), 0u);

    const std::string reply = Exchange(Port(), "GET /index.htm HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(reply.starts_with("HTTP/1.1 200 OK\r\nServer: Quorvane2000\r\nDate: ")) << reply;
    EXPECT_NE(reply.find(" GMT\r\nContent-Type: text/html\r\nAccept-Ranges: bytes\r\n"
                         "Content-Length: 17\r\n"),
              std::string::npos);
    EXPECT_TRUE(reply.ends_with("\r\nConnection: close\r\n\r\n<html>home</html>"));
    EXPECT_TRUE(observer.WaitForLog("Connection By: 127.0.0.1 For Document: index.htm\r\n"));
    EXPECT_EQ(Exchange(Port(), "HEAD /index.htm HTTP/1.0\r\n\r\n").find("<html>"),
              std::string::npos);
    EXPECT_TRUE(observer.WaitForLoad(0));
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
    // And a stop right after a request still leaves its record in the file.
    Exchange(Port(), "GET /other.txt HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(observer.WaitForLoad(0));
    engine.StopListener();
    EXPECT_NE(folder.Read("quorvane.log").find("],GET /other.txt HTTP/1.0\r\r\n"),
              std::string::npos);
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

TEST_F(EngineTest, ManyConcurrentClientsAllGetTheirReply) {
    std::vector<std::thread> clients;
    std::atomic<int> answered{0};
    for (int i = 0; i < 16; ++i) {
        clients.emplace_back([&] {
            for (int j = 0; j < 10; ++j) {
                if (Exchange(Port(), "GET /other.txt HTTP/1.0\r\n\r\n")
                        .ends_with("\r\n\r\nother")) {
                    ++answered;
                }
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(answered.load(), 160);
    EXPECT_TRUE(observer.WaitForLoad(0));
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

TEST_F(EngineTest, LongRequestsAreReadOnlyToTheirFirst2048BytesAndStillAnswered) {
    const std::string head =
        "GET /other.txt HTTP/1.0\r\nX-Pad: " + std::string(3000, 'p') + "\r\n\r\n";
    EXPECT_TRUE(Exchange(Port(), head).ends_with("\r\n\r\nother"));
    // Unread data after the head must not reset the connection under the reply.
    const std::string junk = "GET /other.txt HTTP/1.0\r\n\r\n" + std::string(300000, 'j');
    EXPECT_TRUE(Exchange(Port(), junk).ends_with("\r\n\r\nother"));
}

TEST_F(EngineTest, LargeFilesArriveWhole) {
    std::string big(5 * 1024 * 1024, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>('a' + i % 23);
    }
    folder.Write("www/big.txt", big);
    const std::string reply = Exchange(Port(), "GET /big.txt HTTP/1.0\r\n\r\n");
    ASSERT_GT(reply.size(), big.size());
    EXPECT_NE(reply.find("Content-Length: 5242880\r\n"), std::string::npos);
    EXPECT_TRUE(reply.substr(reply.size() - big.size()) == big);
}

TEST_F(EngineTest, PostsToDocumentsAreAnsweredAndOversizedOnesRefused) {
    EXPECT_TRUE(Exchange(Port(), "POST /other.txt HTTP/1.0\r\ncontent-length: 5\r\n\r\nabcde")
                    .ends_with("other"));
    const std::string refused =
        Exchange(Port(), "POST /other.txt HTTP/1.0\r\nContent-Length: 9000000\r\n\r\nabc");
    EXPECT_EQ(refused.rfind("HTTP/1.1 413 Content Too Large\r\n", 0), 0u);
    // A document does not wait for a body it has no use for.
    RawClient unsent(Port());
    ASSERT_TRUE(unsent.Send("POST /other.txt HTTP/1.0\r\nContent-Length: 10\r\n\r\nabc"));
    EXPECT_TRUE(unsent.ReadAll().ends_with("other"));
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
