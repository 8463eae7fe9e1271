// The server's bounds: descriptors never leak, CGI children are capped, and
// connections past the limit wait rather than fail.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <thread>

#include "config/list_files.h"
#include "server/access_log.h"
#include "server/engine.h"
#include "server/limits.h"
#include "server/request_handler.h"
#include "support/http_client.h"
#include "support/recording_observer.h"
#include "support/temp_folder.h"

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

class LimitsTest : public ::testing::Test {
  protected:
    LimitsTest() {
        config::CreateDefaultDocumentList(program_);
        config::CreateMimeList(program_);
        folder_.Write("quorvane.ini",
                      "[HomePage]\r\nRootDirectory=site\r\n[Documents]\r\nDirectoryBrowsing=1\r\n"
                      "[CGI]\r\nEnabled=1\r\nTimeout=10\r\n");
        folder_.Write("dirs.lst",
                      "\"/\",\"site\",\"No\",\"No\",\"No\"\r\n"
                      "\"/cgi/\",\"cgi\",\"No\",\"No\",\"Yes\"\r\n"
                      "\"/secure/\",\"site/secure\",\"Yes\",\"No\",\"No\"\r\n");
        folder_.Write("site/index.htm", "home");
        folder_.Write("site/list/a.txt", "a");
        Script("hello.exe", "printf 'Content-Type: text/plain\\r\\n\\r\\nhi'\n");
        // Each child notes how many children run beside it.
        Script("crowd.exe",
               "mkdir -p ../running && touch ../running/$$ && sleep 0.3\n"
               "ls ../running | wc -l > ../seen.$$; rm ../running/$$\n"
               "printf 'Content-Type: text/plain\\r\\n\\r\\ndone'\n");
        log_.OpenEmpty();
        EXPECT_TRUE(engine_.StartListener({"127.0.0.1", 0}));
    }

    void Script(const char* name, const std::string& body) {
        const auto path = folder_.Write(std::string("cgi/") + name, "#!/bin/sh\n" + body);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }

    testing::TempFolder folder_;
    config::ProgramFolder program_ = folder_.Program();
    RequestHandler handler_{program_, {"desk", "10.0.0.2"}};
    AccessLog log_{folder_.Path() / "quorvane.log"};
    testing::RecordingObserver observer_;
    Engine engine_{handler_, log_, observer_, Timeouts{.head = 2s, .linger = 1s}};
};

TEST_F(LimitsTest, TenThousandRequestsOfEveryKindLeakNoDescriptor) {
    const uint16_t port = engine_.Port();
    Exchange(port, "GET / HTTP/1.0\r\n\r\n");  // let lazily opened files open first
    ASSERT_TRUE(observer_.WaitForLoad(0));     // and its connection close
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
    EXPECT_TRUE(observer_.WaitForLoad(0));
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(LimitsTest, AtMostEightChildrenRunAndTheRestWaitTheirTurn) {
    std::vector<std::thread> clients;
    std::atomic<int> done{0};
    for (int i = 0; i < 12; ++i) {
        clients.emplace_back([&] {
            if (Exchange(engine_.Port(), "GET /cgi/crowd.exe HTTP/1.0\r\n\r\n").ends_with("done")) {
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
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
        if (entry.path().filename().string().starts_with("seen.")) {
            most = std::max(most, std::stoi(folder_.Read(entry.path().filename().string())));
            ++reports;
        }
    }
    EXPECT_EQ(reports, 12);
    EXPECT_LE(most, kMaxCgiChildren);
    EXPECT_GE(most, 2);  // they did run side by side
}

TEST_F(LimitsTest, ConnectionsPastTheLimitWaitInTheBacklog) {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < 2 * kMaxConnections + 100) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 2 * kMaxConnections + 100);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    ASSERT_GE(limit.rlim_cur, static_cast<rlim_t>(2 * kMaxConnections + 100));
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < kMaxConnections; ++i) {
        idle.push_back(std::make_unique<RawClient>(engine_.Port()));
        ASSERT_TRUE(idle.back()->Connected());
    }
    ASSERT_TRUE(observer_.WaitForLoad(kMaxConnections));
    RawClient waiting(engine_.Port());  // the kernel takes it; the server does not yet
    ASSERT_TRUE(waiting.Send("GET / HTTP/1.0\r\n\r\n"));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(observer_.Load(), kMaxConnections);
    idle.front()->Close();
    EXPECT_TRUE(waiting.ReadAll().ends_with("home"));
}

}  // namespace
}  // namespace quorvane::server
