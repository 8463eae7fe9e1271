// The server's bounds: descriptors never leak, CGI children are capped, and
// connections past the limit wait rather than fail.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "server/limits.h"
#include "support/http_client.h"
#include "support/test_site.h"

namespace quorvane::server {
namespace {

using namespace std::chrono_literals;
using testing::Exchange;
using testing::RawClient;

size_t OpenDescriptors() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

class LimitsTest : public ::testing::Test, public testing::RunningSite {
  protected:
    LimitsTest() {
        folder.Write("quorvane.ini",
                     "[HomePage]\r\nRootDirectory=site\r\n[Documents]\r\nDirectoryBrowsing=1\r\n"
                     "[CGI]\r\nEnabled=1\r\nTimeout=10\r\n");
        folder.Write("dirs.lst",
                     "\"/\",\"site\",\"No\",\"No\",\"No\"\r\n"
                     "\"/cgi/\",\"cgi\",\"No\",\"No\",\"Yes\"\r\n"
                     "\"/secure/\",\"site/secure\",\"Yes\",\"No\",\"No\"\r\n");
        folder.Write("site/index.htm", "home");
        folder.Write("site/list/a.txt", "a");
        Script("hello.exe", "printf 'Content-Type: text/plain\\r\\n\\r\\nhi'\n");
        // Each child notes how many children run beside it.
        Script("crowd.exe",
               "mkdir -p ../running && touch ../running/$$ && sleep 0.3\n"
               "ls ../running | wc -l > ../seen.$$; rm ../running/$$\n"
               "printf 'Content-Type: text/plain\\r\\n\\r\\ndone'\n");
    }

    // Lingering and half-sent connections end within their deadlines.
    bool WaitForNoConnections() const {
        for (int i = 0; i < 100 && engine.OpenConnections() > 0; ++i) {
            std::this_thread::sleep_for(50ms);
        }
        return engine.OpenConnections() == 0;
    }

    void Script(const char* name, const std::string& body) {
        const auto path = folder.Write(std::string("cgi/") + name, "#!/bin/sh\n" + body);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
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
    int reports = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        if (entry.path().filename().string().starts_with("seen.")) {
            most = std::max(most, std::stoi(folder.Read(entry.path().filename().string())));
            ++reports;
        }
    }
    EXPECT_EQ(reports, 12);
    EXPECT_LE(most, kMaxCgiChildren);
    EXPECT_GE(most, 2);  // they did run side by side
}

TEST_F(LimitsTest, AQueuedScriptWhoseClientLeftNeverStarts) {
    Script("busy.exe",
           "touch ../started.$$\nsleep 1\nprintf 'Content-Type: text/plain\\r\\n\\r\\nbusy'\n");
    Script("mark.exe", "touch ../ran.$$\nprintf 'Content-Type: text/plain\\r\\n\\r\\nmarked'\n");
    std::vector<std::thread> busy;
    for (int i = 0; i < kMaxCgiChildren; ++i) {
        busy.emplace_back([&] { Exchange(engine.Port(), "GET /cgi/busy.exe HTTP/1.0\r\n\r\n"); });
    }
    const auto startedScripts = [&] {
        int started = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
            started += entry.path().filename().string().starts_with("started.") ? 1 : 0;
        }
        return started;
    };
    for (int wait = 0; wait < 100 && startedScripts() < kMaxCgiChildren; ++wait) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(startedScripts(), kMaxCgiChildren);  // every slot is taken
    for (int i = 0; i < 20; ++i) {
        RawClient impatient(engine.Port());
        ASSERT_TRUE(impatient.Send("GET /cgi/mark.exe HTTP/1.0\r\n\r\n"));
    }  // each closes at once, still queued
    for (std::thread& client : busy) {
        client.join();
    }
    EXPECT_TRUE(Exchange(engine.Port(), "GET /cgi/hello.exe HTTP/1.0\r\n\r\n").ends_with("hi"));
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with("ran."))
            << "a script ran for a client that had gone";
    }
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

TEST_F(LimitsTest, AtTheLimitTheLongestIdleConnectionMakesRoom) {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < 2 * kMaxConnections + 100) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 2 * kMaxConnections + 100);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    ASSERT_GE(limit.rlim_cur, static_cast<rlim_t>(2 * kMaxConnections + 100));
    // Every place is taken by a kept connection that sits idle after its request.
    std::vector<std::unique_ptr<RawClient>> kept;
    for (int i = 0; i < kMaxConnections; ++i) {
        kept.push_back(std::make_unique<RawClient>(engine.Port()));
        ASSERT_TRUE(kept.back()->Send("GET / HTTP/1.1\r\nHost: t\r\n\r\n"));
        ASSERT_TRUE(kept.back()->ReadReply().ends_with("home")) << i;
    }
    const std::string reply = Exchange(engine.Port(), "GET / HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(reply.ends_with("home"));
    EXPECT_TRUE(kept.front()->ClosedWithoutReply()) << "the one idle longest made room";
    ASSERT_TRUE(kept.back()->Send("GET / HTTP/1.1\r\nHost: t\r\n\r\n"));
    EXPECT_TRUE(kept.back()->ReadReply().ends_with("home")) << "the others stay";
}

}  // namespace
}  // namespace quorvane::server
