// The server's bounds: descriptors never leak, CGI children are capped, and
// connections past the limit wait rather than fail.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "server/body_budget.h"
#include "server/descriptor_limit.h"
#include "server/limits.h"
#include "support/test_site.h"

namespace quorvane::server {
namespace {

using namespace std::chrono_literals;
using testing::Exchange;
using testing::OpenDescriptors;
using testing::RawClient;

class LimitsTest : public ::testing::Test, public testing::RunningSite {
  protected:
    LimitsTest() {
        folder.WriteSettings({{"HomePage", "RootDirectory", "site"},
                              {"Documents", "DirectoryBrowsing", "1"},
                              {"CGI", "Enabled", "1"},
                              {"CGI", "Timeout", "10"}});
        folder.WriteDirs({{"/", "site"},
                          {"/cgi/", "cgi", false, false, true},
                          {"/secure/", "site/secure", true}});
        folder.Write("site/index.htm", "home");
        folder.Write("site/list/a.txt", "a");
        Script("hello.exe", "printf 'Content-Type: text/plain\\r\\n\\r\\nhi'\n");
        // Each child notes how many children run beside it.
        Script("crowd.exe",
               "mkdir -p ../running && touch ../running/$$ && sleep 0.3\n"
               "ls ../running | wc -l > ../seen.$$; rm ../running/$$\n"
               "printf 'Content-Type: text/plain\\r\\n\\r\\ndone'\n");
    }

    void Script(const char* name, const std::string& body) {
        folder.WriteScript(std::string("cgi/") + name, body);
    }
};

TEST_F(LimitsTest, TenThousandRequestsOfEveryKindLeakNoDescriptor) {
    const uint16_t port = engine.Port();
    Exchange(port, "GET / HTTP/1.0\r\n\r\n");  // let lazily opened files open first
    ASSERT_TRUE(WaitForNoConnections());       // and its connection close
    const size_t before = OpenDescriptors();
    const std::string kinds[] = {
        "GET / HTTP/1.0\r\n\r\n",
        "GET /list/ HTTP/1.0\r\n\r\n",
        "GET /missing.htm HTTP/1.0\r\n\r\n",
        "GET /../x HTTP/1.0\r\n\r\n",
        "GET /secure/index.htm HTTP/1.0\r\n\r\n",
        "PUT / HTTP/1.0\r\n\r\n",
        "POST / HTTP/1.0\r\nContent-Length: 99999999\r\n\r\n",
    };
    int answered = 0;
    for (int i = 0; i < 10000; ++i) {
        if (i % 50 == 0) {
            answered +=
                Exchange(port, "GET /cgi/hello.exe HTTP/1.0\r\n\r\n").ends_with("hi") ? 1 : 0;
        } else if (i % 50 == 1) {
            RawClient aborted(port);  // leaves half a request behind
            aborted.Send("GET /ind");
        } else {
            answered += Exchange(port, kinds[i % std::size(kinds)]).empty() ? 0 : 1;
        }
    }
    EXPECT_EQ(answered, 9800);
    EXPECT_TRUE(WaitForNoConnections());
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(LimitsTest, AtMostEightChildrenRunAndTheRestWaitTheirTurn) {
    std::vector<std::thread> clients;
    std::atomic<int> done{0};
    for (int i = 0; i < 12; ++i) {
        clients.emplace_back([&] {
            if (Exchange(engine.Port(), "GET /cgi/crowd.exe HTTP/1.0\r\n\r\n").ends_with("done")) {
                ++done;
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(done.load(), 12);
    int most = 0;
    const std::vector<std::string> reports = folder.NamesStartingWith("seen.");
    for (const std::string& report : reports) {
        most = std::max(most, std::stoi(folder.Read(report)));
    }
    EXPECT_EQ(reports.size(), 12u);
    EXPECT_LE(most, kMaxCgiChildren);
    EXPECT_GE(most, 2);  // they did run side by side
}

TEST_F(LimitsTest, ARunningScriptWhoseClientLeftIsEndedWithWhatItStarted) {
    Script("long.exe", "sleep 30 &\necho $! > ../pid.tmp && mv ../pid.tmp ../pid\nwait\n");
    const auto pidFile = folder.Path() / "pid";
    {
        RawClient impatient(engine.Port());
        ASSERT_TRUE(impatient.Send("GET /cgi/long.exe HTTP/1.0\r\n\r\n"));
        for (int wait = 0; wait < 250 && !std::filesystem::exists(pidFile); ++wait) {
            std::this_thread::sleep_for(20ms);
        }
        ASSERT_TRUE(std::filesystem::exists(pidFile));
    }  // gone while its script runs
    std::ifstream in(pidFile);
    int pid = 0;
    ASSERT_TRUE(in >> pid);
    // Ended means no process, or a zombie waiting for whoever adopted it.
    const auto running = [pid] {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        return std::getline(stat, line) && line.find(") Z ") == std::string::npos;
    };
    for (int wait = 0; wait < 250 && running(); ++wait) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_FALSE(running()) << "the script's sleep outlived its client";
    EXPECT_TRUE(WaitForNoConnections());
    EXPECT_TRUE(Exchange(engine.Port(), "GET /cgi/hello.exe HTTP/1.0\r\n\r\n").ends_with("hi"));
}

// A site with room for twelve connections, four from any one client.
class SharesTest : public ::testing::Test, public testing::SecureSite {
  protected:
    SharesTest() : SecureSite(QuickTimeouts(), ConnectionLimits{12, 4}) {
        folder.Write("www/index.htm", "home");
    }

    // Connections from `source` that begin a head (or, to the HTTPS port,
    // send nothing at all) and never finish it.
    std::vector<std::unique_ptr<RawClient>> Unfinished(int count, const char* source,
                                                       bool tls = false) {
        std::vector<std::unique_ptr<RawClient>> clients;
        for (int i = 0; i < count; ++i) {
            clients.push_back(std::make_unique<RawClient>(tls ? HttpsPort() : Port(), 300ms,
                                                          "127.0.0.1", source));
            if (!tls) {
                clients.back()->Send("GET /index.htm HT");
            }
        }
        return clients;
    }
    static int ClosedByTheServer(const std::vector<std::unique_ptr<RawClient>>& clients) {
        int closed = 0;
        for (const auto& client : clients) {
            closed += client->ClosedWithoutReply() ? 1 : 0;
        }
        return closed;
    }
    std::string FetchFrom(const char* source) const {
        return Exchange(Port(), "GET /index.htm HTTP/1.0\r\n\r\n", "127.0.0.1", source);
    }
};

TEST_F(SharesTest, OneAddressHoldsItsShareAndEveryoneElseIsServed) {
    for (bool tls : {false, true}) {
        const auto flood = Unfinished(40, "127.0.0.1", tls);
        EXPECT_EQ(testing::BodyOf(FetchFrom("127.0.0.2")), "home") << tls;
        // The flood keeps only its newest four; even its own next request gets in.
        EXPECT_EQ(testing::BodyOf(FetchFrom("127.0.0.1")), "home") << tls;
        EXPECT_GE(ClosedByTheServer(flood), 36) << tls;
    }
}

TEST_F(SharesTest, AtTheLimitUnfinishedConnectionsMakeRoomAndServedOnesStay) {
    // Three clients fill every place with heads that never end.
    std::vector<std::unique_ptr<RawClient>> flood;
    for (const char* source : {"127.0.0.3", "127.0.0.4", "127.0.0.5"}) {
        for (auto& client : Unfinished(4, source)) {
            flood.push_back(std::move(client));
        }
    }
    EXPECT_EQ(testing::BodyOf(FetchFrom("127.0.0.6")), "home");
    // Once no head is left unfinished, kept connections make room while
    // idle, the longest idle first; one being served is never closed.
    std::vector<std::unique_ptr<RawClient>> kept;
    for (const char* source : {"127.0.0.7", "127.0.0.8", "127.0.0.9"}) {
        for (int i = 0; i < 4; ++i) {
            kept.push_back(std::make_unique<RawClient>(Port(), 2000ms, "127.0.0.1", source));
            ASSERT_TRUE(kept.back()->Send("GET /index.htm HTTP/1.1\r\nHost: t\r\n\r\n"));
            ASSERT_TRUE(kept.back()->ReadReply().ends_with("home"));
        }
    }
    EXPECT_EQ(ClosedByTheServer(flood), 12) << "every unfinished one went first";
    EXPECT_EQ(testing::BodyOf(FetchFrom("127.0.0.10")), "home");
    EXPECT_TRUE(kept.front()->ClosedWithoutReply()) << "the one idle longest made room";
    ASSERT_TRUE(kept.back()->Send("GET /index.htm HTTP/1.1\r\nHost: t\r\n\r\n"));
    EXPECT_TRUE(kept.back()->ReadReply().ends_with("home")) << "the others stay";
}

TEST_F(SharesTest, ABodyOnlySkippedHoldsItsConnectionBrieflyAtMost) {
    // The body's own deadline (two seconds here) would hold it far longer
    // than the client's patience of ten; skipping has a second.
    RawClient client(Port(), 10s);
    ASSERT_TRUE(
        client.Send("POST /index.htm HTTP/1.1\r\nHost: t\r\nContent-Length: 65536\r\n\r\n"));
    const std::optional<std::string> stream = client.ReadToClose();
    ASSERT_TRUE(stream.has_value()) << "the server closed it";
    EXPECT_TRUE(stream->ends_with("home"));
}

TEST(BodyBudget, OneClientHoldsAtMostItsShare) {
    BodyBudget budget(100, 25);
    {
        BodyBudget::Charge first(budget, "10.0.0.1");
        BodyBudget::Charge second(budget, "10.0.0.1");
        EXPECT_TRUE(first.Add(20));
        EXPECT_FALSE(second.Add(6)) << "past the client's share";
        EXPECT_TRUE(second.Add(5));
        for (const char* other : {"10.0.0.2", "10.0.0.3", "10.0.0.4"}) {
            BodyBudget::Charge theirs(budget, other);
            EXPECT_TRUE(theirs.Add(25)) << other;
        }
        EXPECT_EQ(budget.Used(), 25u);
    }
    EXPECT_EQ(budget.Used(), 0u);
    BodyBudget::Charge again(budget, "10.0.0.1");
    EXPECT_TRUE(again.Add(25)) << "what was given back can be taken again";
}

TEST(DescriptorLimits, ConnectionsFitUnderTheLimitWithTheReserveKept) {
    struct Case {
        uint64_t soft;
        ConnectionLimits limits;
    };
    for (const Case& c : {Case{1024, {448, 112}}, Case{256, {64, 16}}, Case{100, {1, 1}},
                          Case{1u << 20, {kMaxConnections, kMaxConnections / kClientShare}}}) {
        const ConnectionLimits limits = LimitsForDescriptors(c.soft);
        EXPECT_EQ(limits.total, c.limits.total) << c.soft;
        EXPECT_EQ(limits.perClient, c.limits.perClient) << c.soft;
        EXPECT_LE(
            static_cast<uint64_t>(limits.total * kDescriptorsPerConnection + kDescriptorReserve),
            std::max<uint64_t>(c.soft, kDescriptorReserve + kDescriptorsPerConnection));
    }
}

}  // namespace
}  // namespace quorvane::server
