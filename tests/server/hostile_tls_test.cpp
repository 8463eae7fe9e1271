// The HTTPS port under attack: what is not a TLS client is closed within
// the head deadline, stalls hold nothing for ever, and kept TLS connections
// leak nothing. Beside the plain hostile tables of hostile_input_test.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "server/limits.h"
#include "support/test_site.h"

namespace quorvane::testing {
namespace {

using namespace std::chrono_literals;

// The start of a real TLS 1.2/1.3 ClientHello, as a browser sends it.
std::string HelloStart() {
    return std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11) + std::string(32, 'r');
}

class HostileTlsTest : public ::testing::Test, public SecureSite {
  protected:
    HostileTlsTest() {
        folder.WriteSettings({{"HomePage", "RootDirectory", "www"},
                              {"Documents", "DirectoryBrowsing", "1"},
                              {"CGI", "Enabled", "1"}});
        folder.WriteDirs({{"/", "www"}, {"/cgi-bin/", "cgi-bin", false, false, true}});
        folder.Write("www/index.htm", "home");
        std::string big;
        for (int i = 0; big.size() < 300000; ++i) {
            big += std::to_string(i) + ",";
        }
        big_ = big;
        folder.Write("www/big.txt", big);
        folder.Write("www/list/a.txt", "a");
        folder.WriteScript("cgi-bin/hello.exe",
                           "printf 'Content-Type: text/plain\\r\\n\\r\\nhi'\n");
    }

    // The HTTPS port still serves a real client.
    bool StillServes() const {
        return BodyOf(SecureSend("GET /index.htm HTTP/1.0\r\n\r\n")) == "home";
    }

    std::string big_;
};

TEST_F(HostileTlsTest, WhatIsNoTlsClientIsClosedUnanswered) {
    const std::string attempts[] = {
        "GET / HTTP/1.0\r\n\r\n",  // plain HTTP to the HTTPS port
        "GET / HTTP/1.1\r\nHost: x\r\n\r\n",
        std::string(300, '\0'),                         // zeros
        "\x16\x03\x01\xff\xff" + std::string(64, 'x'),  // a record longer than allowed
        std::string("\x80\x2e\x01\x00\x02\x00\x15\x00\x00\x00\x10", 11) +
            std::string(37, 'A'),                        // an SSL 2 hello
        "\x16\x03\x01\x00\x05\x02\x00\x00\x01\x00",      // a ServerHello, from a client
        std::string("\x15\x03\x03\x00\x02\x02\x28", 7),  // an alert instead of a hello
        HelloStart() + std::string(600, '\xff'),         // a hello of garbage
    };
    for (const std::string& attempt : attempts) {
        RawClient client(HttpsPort());
        ASSERT_TRUE(client.Send(attempt));
        // The client's 5 s outlast the head deadline (2 s here): a close, not
        // a timeout, after at most a TLS alert.
        const std::optional<std::string> answer = client.ReadToClose();
        ASSERT_TRUE(answer) << "still open: " << attempt.substr(0, 20);
        EXPECT_TRUE(answer->empty() || (*answer)[0] == '\x15') << *answer;
    }
    EXPECT_TRUE(StillServes());
    EXPECT_TRUE(observer.WaitForLog("Connection By: 127.0.0.1\r\n"));
}

TEST_F(HostileTlsTest, AHandshakeThatNeverEndsIsCutAtTheHeadDeadline) {
    RawClient silent(HttpsPort());
    RawClient halfway(HttpsPort());
    ASSERT_TRUE(halfway.Send(HelloStart()));
    EXPECT_TRUE(silent.ClosedWithoutReply());
    EXPECT_TRUE(halfway.ClosedWithoutReply());
    // Shaken hands and silent after: the same deadline, then the end of TLS.
    const std::unique_ptr<RawClient> idle = SecureClient();
    ASSERT_TRUE(idle->Connected());
    EXPECT_EQ(idle->ReadAll(), "");
    EXPECT_TRUE(WaitForNoConnections());
    EXPECT_TRUE(StillServes());
}

TEST_F(HostileTlsTest, AThousandStalledHandshakesHoldNothingForEver) {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 3 * kMaxConnections);
    ::setrlimit(RLIMIT_NOFILE, &limit);
    ASSERT_GE(limit.rlim_cur, static_cast<rlim_t>(2 * kMaxConnections + 100));
    ASSERT_TRUE(StillServes());
    ASSERT_TRUE(WaitForNoConnections());
    const size_t before = OpenDescriptors();
    {
        std::vector<std::unique_ptr<RawClient>> stalled;
        for (int i = 0; i < kMaxConnections; ++i) {
            stalled.push_back(std::make_unique<RawClient>(HttpsPort(), 10s));
            ASSERT_TRUE(stalled.back()->Send(HelloStart())) << i;
        }
        // Every place is taken; a real client waits in the backlog until the
        // deadline frees them, then is served.
        const std::unique_ptr<RawClient> waiting = std::make_unique<RawClient>(HttpsPort(), 10s);
        ASSERT_TRUE(waiting->StartTls(File(), "127.0.0.1"));
        ASSERT_TRUE(waiting->Send("GET /index.htm HTTP/1.0\r\n\r\n"));
        EXPECT_EQ(BodyOf(waiting->ReadAll()), "home");
        for (auto& client : stalled) {
            EXPECT_TRUE(client->ClosedWithoutReply());
        }
    }
    EXPECT_TRUE(WaitForNoConnections());
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(HostileTlsTest, AThousandRequestsOverKeptTlsConnectionsLeakNothing) {
    ASSERT_TRUE(StillServes());  // lazily opened files open first
    ASSERT_TRUE(WaitForNoConnections());
    const size_t before = OpenDescriptors();
    const std::string requests[] = {
        "GET /index.htm HTTP/1.1\r\nHost: t\r\n\r\n",
        "GET /big.txt HTTP/1.1\r\nHost: t\r\n\r\n",
        "GET /big.txt HTTP/1.1\r\nHost: t\r\nRange: bytes=10-19,-5\r\n\r\n",
        "GET /list/ HTTP/1.1\r\nHost: t\r\n\r\n",
        "HEAD /big.txt HTTP/1.1\r\nHost: t\r\n\r\n",
        "GET /missing.htm HTTP/1.1\r\nHost: t\r\n\r\n",
        "POST /index.htm HTTP/1.1\r\nHost: t\r\nContent-Length: 3\r\n\r\nabc",
    };
    std::atomic<int> right{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 4; ++c) {
        clients.emplace_back([&, c] {
            const std::unique_ptr<RawClient> client = SecureClient();
            for (int i = 0; i < 250; ++i) {
                const size_t kind = static_cast<size_t>(c + i) % std::size(requests);
                if (!client->Send(requests[kind])) {
                    return;
                }
                const std::string reply = client->ReadReply(kind == 4);
                const bool ok =
                    kind == 0   ? reply.ends_with("\r\n\r\nhome")
                    : kind == 1 ? BodyOf(reply) == big_
                    : kind == 2
                        ? reply.find(big_.substr(10, 10)) != std::string::npos &&
                              reply.find(big_.substr(big_.size() - 5)) != std::string::npos &&
                              reply.find("206 Partial") != std::string::npos
                    : kind == 3 ? reply.find("a.txt") != std::string::npos
                    : kind == 4 ? reply.find("Content-Length: " + std::to_string(big_.size())) !=
                                      std::string::npos
                    : kind == 5 ? StatusOf(reply) == "HTTP/1.1 404 Not Found"
                                : reply.ends_with("home");
                right += ok ? 1 : 0;
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(right.load(), 1000);
    EXPECT_TRUE(WaitForNoConnections());
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(HostileTlsTest, TheBlockListAndScriptsHoldOverTls) {
    EXPECT_EQ(BodyOf(SecureSend("GET /cgi-bin/hello.exe HTTP/1.0\r\n\r\n")), "hi");
    folder.WriteAddresses(config::kBlockList, {"127.0.0.1"});
    EXPECT_EQ(StatusOf(SecureSend("GET /index.htm HTTP/1.0\r\n\r\n")), "HTTP/1.1 403 Forbidden");
}

// With every slot taken, a script queued for a client that leaves never
// runs; one that stays is served once a slot frees: over TLS its watch for a
// close is called off mid-read, and the stream still carries the reply.
TEST_F(HostileTlsTest, AQueuedScriptRunsOnlyForAClientThatStayed) {
    folder.WriteScript(
        "cgi-bin/busy.exe",
        "touch ../started.$$\nsleep 1\nprintf 'Content-Type: text/plain\\r\\n\\r\\nbusy'\n");
    folder.WriteScript("cgi-bin/mark.exe",
                       "touch ../ran.$$\nprintf 'Content-Type: text/plain\\r\\n\\r\\nmarked'\n");
    for (bool tls : {false, true}) {
        const auto connect = [&] {
            return tls ? SecureClient() : std::make_unique<RawClient>(Port());
        };
        std::vector<std::thread> busy;
        for (int i = 0; i < kMaxCgiChildren; ++i) {
            busy.emplace_back([&] {
                const std::unique_ptr<RawClient> client = connect();
                client->Send("GET /cgi-bin/busy.exe HTTP/1.0\r\n\r\n");
                client->ReadAll();
            });
        }
        const auto started = [&] { return folder.NamesStartingWith("started.").size(); };
        for (int wait = 0; wait < 100 && started() < kMaxCgiChildren; ++wait) {
            std::this_thread::sleep_for(20ms);
        }
        ASSERT_EQ(started(), static_cast<size_t>(kMaxCgiChildren)) << tls;
        const std::unique_ptr<RawClient> patient = connect();
        ASSERT_TRUE(patient->Send("GET /cgi-bin/hello.exe HTTP/1.1\r\nHost: t\r\n\r\n"));
        for (int i = 0; i < 10; ++i) {
            ASSERT_TRUE(connect()->Send("GET /cgi-bin/mark.exe HTTP/1.0\r\n\r\n"));
        }  // each closes while still queued
        for (std::thread& client : busy) {
            client.join();
        }
        EXPECT_TRUE(patient->ReadReply().ends_with("\r\n\r\nhi")) << tls;
        ASSERT_TRUE(patient->Send("GET /index.htm HTTP/1.1\r\nHost: t\r\n\r\n"));
        EXPECT_TRUE(patient->ReadReply().ends_with("\r\n\r\nhome")) << tls;
        EXPECT_TRUE(folder.NamesStartingWith("ran.").empty())
            << tls << ": a script ran for a client that had gone";
        for (const std::string& name : folder.NamesStartingWith("started.")) {
            std::filesystem::remove(folder.Path() / name);
        }
    }
}

}  // namespace
}  // namespace quorvane::testing
