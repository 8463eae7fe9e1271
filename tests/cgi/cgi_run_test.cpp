// Real CGI children behind a running engine, answered over real sockets.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/test_site.h"

namespace quorvane::testing {
namespace {

using namespace std::chrono_literals;

class CgiRunTest : public ::testing::Test, public RunningSite {
  protected:
    CgiRunTest() : RunningSite(server::Timeouts{}) {
        folder.WriteSettings({{"HomePage", "RootDirectory", "www"},
                              {"CGI", "Enabled", "1"},
                              {"CGI", "Timeout", "2"}});
        folder.WriteDirs({{"/", "www"}, {"/cgi-bin/", "cgi-bin", false, true, true}});
        folder.Write("www/page.txt", "page");
        Script("env.exe",
               "printf 'Content-Type: text/plain\\r\\n\\r\\n'\n"
               "printf 'query=%s method=%s length=%s type=%s host=%s port=%s cwd=%s\\n' "
               "\"$QUERY_STRING\" \"$REQUEST_METHOD\" \"$CONTENT_LENGTH\" \"$CONTENT_TYPE\" "
               "\"$HTTP_HOST\" \"$SERVER_PORT\" \"$(basename \"$PWD\")\"\n"
               "cat\n");
        Script("big.exe",
               "printf 'Content-Type: text/plain\\r\\n\\r\\n'\nhead -c 102400 /dev/zero | tr "
               "'\\000' x\n");
        Script("sleep.exe",
               "sleep \"${SLEEP:-30}\"\nprintf 'Content-Type: text/plain\\r\\n\\r\\nawake'\n");
        Script("noread.exe", "printf 'Content-Type: text/plain\\r\\n\\r\\ndone without reading'\n");
        Script("empty.exe", "exit 0\n");
        // Counts the sockets among its own descriptors: none may be inherited.
        Script("sockets.exe",
               "printf 'Content-Type: text/plain\\r\\n\\r\\n'\n"
               "for f in /proc/$$/fd/*; do readlink \"$f\"; done | grep -c '^socket:'\n");
        Script("killed.exe", "printf 'Content-Type: text/plain\\r\\n\\r\\npartial'\nkill -9 $$\n");
    }

    void Script(std::string_view name, std::string_view body) {
        folder.WriteScript("cgi-bin/" + std::string(name), body);
    }
};

TEST_F(CgiRunTest, ShellProgramsGetQueriesAndPostBodies) {
    const std::string get = Fetch("/cgi-bin/env.exe?a=1&b=two", "Host: desk\r\n");
    EXPECT_EQ(StatusOf(get), "HTTP/1.1 200 OK");
    EXPECT_EQ(BodyOf(get), "query=a=1&b=two method=GET length=9 type= host=desk port=" +
                               std::to_string(Port()) + " cwd=cgi-bin\n");

    const std::string post = Send(
        "POST /cgi-bin/env.exe?q=1 HTTP/1.0\r\nContent-Type: text/x-test\r\n"
        "Content-Length: 9\r\n\r\nname=Ada!");
    EXPECT_EQ(BodyOf(post), "query= method=POST length=9 type=text/x-test host= port=" +
                                std::to_string(Port()) + " cwd=cgi-bin\nname=Ada!\r\n");
}

TEST_F(CgiRunTest, OutputIsRelayedWhole) {
    EXPECT_EQ(BodyOf(Fetch("/cgi-bin/big.exe")), std::string(102400, 'x'));
}

TEST_F(CgiRunTest, FailingChildrenGetTheCgiErrorPage) {
    // A program that cannot be executed fails to start.
    folder.Write("cgi-bin/plain.exe", "not a program");
    for (const char* path : {"/cgi-bin/empty.exe", "/cgi-bin/killed.exe", "/cgi-bin/sleep.exe",
                             "/cgi-bin/plain.exe"}) {
        const std::string reply = Fetch(path);
        EXPECT_EQ(StatusOf(reply), "HTTP/1.1 500 Internal Server Error") << path;
        EXPECT_NE(reply.find("Error Processing CGI Script"), std::string::npos) << path;
    }
}

TEST_F(CgiRunTest, ChildrenInheritNoSocketOfTheServer) {
    RawClient other(Port());  // another open client connection
    ASSERT_TRUE(other.Send("GET /pa"));
    EXPECT_EQ(BodyOf(Fetch("/cgi-bin/sockets.exe")), "0\n");
}

TEST_F(CgiRunTest, AChildThatNeverReadsALargeBodyDoesNotStallAnything) {
    const std::string body(4 * 1024 * 1024, 'b');
    EXPECT_EQ(BodyOf(Send("POST /cgi-bin/noread.exe HTTP/1.0\r\nContent-Length: " +
                          std::to_string(body.size()) + "\r\n\r\n" + body)),
              "done without reading");
}

TEST_F(CgiRunTest, DocumentsAreServedWhileAScriptSleeps) {
    folder.WriteSettings(
        {{"HomePage", "RootDirectory", "www"}, {"CGI", "Enabled", "1"}, {"CGI", "Timeout", "20"}});
    Script("sleep.exe", "sleep 3\nprintf 'Content-Type: text/plain\\r\\n\\r\\nawake'\n");
    std::atomic<bool> scriptDone{false};
    std::string scriptReply;
    std::thread sleeper([&] {
        scriptReply = Fetch("/cgi-bin/sleep.exe");
        scriptDone = true;
    });
    std::this_thread::sleep_for(200ms);
    int served = 0;
    for (int i = 0; i < 100; ++i) {
        served += BodyOf(Fetch("/page.txt")) == "page" ? 1 : 0;
    }
    const bool stillSleeping = !scriptDone;
    sleeper.join();
    EXPECT_EQ(served, 100);
    EXPECT_TRUE(stillSleeping) << "the 100 documents came while the script slept";
    EXPECT_EQ(BodyOf(scriptReply), "awake");
}

}  // namespace
}  // namespace quorvane::testing
