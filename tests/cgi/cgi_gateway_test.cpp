#include "cgi/cgi_gateway.h"

#include <gtest/gtest.h>

#include "cgi/cgi_environment.h"
#include "support/reply_text.h"
#include "support/test_site.h"

namespace quorvane::cgi {
namespace {

TEST(CgiEnvironment, GetEntriesInTheirOrder) {
    const std::string head =
        "GET /cgi-bin/t.pl?a=1&b=2 HTTP/1.1\r\nHost: desk:8080\r\nAccept: text/html\r\n"
        "User-Agent: test\r\nCookie: k=v\r\nAuthorization: Basic Ym9iOnNlY3JldA==\r\n"
        "Content-Length: 0\r\nX-Dashed-Name: yes\r\nbad header line\r\n\r\n";
    EXPECT_EQ(BuildEnvironment({.method = "GET",
                                .head = head,
                                .query = "a=1&b=2",
                                .hostName = "desk",
                                .serverPort = 8080,
                                .physicalDirectory = "/srv/www/cgi-bin/",
                                .requestDirectory = "/cgi-bin/",
                                .peerAddress = "10.0.0.7",
                                .scriptName = "t.pl",
                                .remoteUser = "bob"}),
              (std::vector<std::string>{"SERVER_SOFTWARE=Quorvane2000 2.1.0",
                                        "SERVER_NAME=desk",
                                        "SERVER_PORT=8080",
                                        "QUERY_STRING=a=1&b=2",
                                        "CONTENT_LENGTH=7",
                                        "GATEWAY_INTERFACE=CGI/1.1",
                                        "HTTP_ACCEPT=text/html",
                                        "PATH_TRANSLATED=/srv/www/cgi-bin/",
                                        "REMOTE_ADDR=10.0.0.7",
                                        "REQUEST_METHOD=GET",
                                        "SCRIPT_NAME=t.pl",
                                        "SERVER_PROTOCOL=HTTP/1.1",
                                        "PATH_INFO=/cgi-bin/",
                                        "PATH=/usr/local/bin:/usr/bin:/bin",
                                        "HTTP_HOST=desk:8080",
                                        "HTTP_USER_AGENT=test",
                                        "HTTP_COOKIE=k=v",
                                        "HTTP_X_DASHED_NAME=yes",
                                        "AUTH_TYPE=Basic",
                                        "REMOTE_USER=bob"}));
}

TEST(CgiEnvironment, PostEntriesInTheirOrder) {
    const std::string head =
        "POST /f.pl?ignored HTTP/1.1\r\ncontent-type: multipart/form-data\r\n\r\n";
    EXPECT_EQ(BuildEnvironment({.post = true,
                                .method = "POST",
                                .head = head,
                                .query = "ignored",
                                .contentLength = 12,
                                .hostName = "desk",
                                .physicalDirectory = "www/",
                                .requestDirectory = "/",
                                .peerAddress = "10.0.0.7",
                                .scriptName = "f.pl"}),
              (std::vector<std::string>{
                  "SERVER_SOFTWARE=Quorvane2000 2.1.0", "SERVER_NAME=desk", "SERVER_PORT=80",
                  "QUERY_STRING=", "CONTENT_LENGTH=12", "CONTENT_TYPE=multipart/form-data",
                  "GATEWAY_INTERFACE=CGI/1.1", "HTTP_ACCEPT=", "PATH_TRANSLATED=www/",
                  "REMOTE_ADDR=10.0.0.7", "REQUEST_METHOD=POST", "SCRIPT_NAME=f.pl",
                  "SERVER_PROTOCOL=HTTP/1.1", "PATH_INFO=/", "PATH=/usr/local/bin:/usr/bin:/bin"}));
    const auto plain =
        BuildEnvironment({.post = true, .method = "POST", .head = "POST / HTTP/1.0\r\n\r\n"});
    EXPECT_EQ(plain[5], "CONTENT_TYPE=application/x-www-form-urlencoded");
}

TEST(CgiOutput, HeaderBlocksBecomeTheHeadWithTheBodysRealLength) {
    EXPECT_EQ(testing::WireText(*ComposeCgiReply("Content-Type: text/plain\n\nhello")),
              "HTTP/1.1 200 OK\r\nServer: Quorvane2000\r\nDate: Sun, 01 Mar 2026 09:00:00 GMT\r\n"
              "Content-Type: text/plain\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello");
    // The script's own framing and connection lines are the server's to state.
    const responses::Reply own = *ComposeCgiReply(
        "Status: 404 Not Found\r\nX-A: 1\r\nConnection: keep-alive\r\nContent-Length: 99\r\n"
        "Transfer-Encoding: chunked\r\n\r\nab");
    EXPECT_EQ(own.statusLine, "HTTP/1.1 404 Not Found");
    EXPECT_EQ(own.fields, "X-A: 1\r\nContent-Length: 2\r\n");
    EXPECT_EQ(ComposeCgiReply("Location: /moved.htm\r\n\r\n")->statusLine, "HTTP/1.1 302 Found");
}

TEST(CgiOutput, FullRepliesAreRelayedAndBrokenOutputRefused) {
    const std::string full = "HTTP/1.0 200 OK\r\nX: y\r\n\r\nraw \x01 bytes";
    EXPECT_EQ(testing::WireText(*ComposeCgiReply(full)), full);
    EXPECT_TRUE(ComposeCgiReply(full)->raw);
    EXPECT_FALSE(ComposeCgiReply("").has_value());
    EXPECT_FALSE(ComposeCgiReply("just a body without headers\n\n").has_value());
    EXPECT_FALSE(ComposeCgiReply("Content-Type: text/plain\r\nno empty line").has_value());
    EXPECT_FALSE(ComposeCgiReply("Status: fine\r\n\r\n").has_value());
    // A bare CR inside a header line could split the reply in some clients.
    EXPECT_FALSE(ComposeCgiReply("X-A: 1\rSet-Cookie: stolen\r\n\r\n").has_value());
}

TEST(ScriptRule, OnlyTheEndingDecidesWhatRunsAndLookAlikesAreRefused) {
    struct Case {
        const char* name;
        bool scripts;
        bool programs;
        ScriptKind kind;
    };
    const Case cases[] = {
        {"form.pl", true, false, ScriptKind::kPerl},
        {"FORM.Cgi", true, false, ScriptKind::kPerl},
        {"my.test.pl", true, false, ScriptKind::kPerl},
        {"tool.EXE", false, true, ScriptKind::kProgram},
        {"tool.exe", true, false, ScriptKind::kRefused},
        {"form.pl", false, true, ScriptKind::kRefused},
        {"run.pl.sh", true, true, ScriptKind::kRefused},
        {"hello.pl.x", true, false, ScriptKind::kRefused},
        {"my.planet.htm", true, false, ScriptKind::kRefused},
        {"test.bat", true, true, ScriptKind::kDocument},
        {"page.htm", true, true, ScriptKind::kDocument},
        {"form.pl", false, false, ScriptKind::kDocument},
        {"tool.exe", false, false, ScriptKind::kDocument},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClassifyScript(c.name, c.scripts, c.programs), c.kind)
            << c.name << " scripts=" << c.scripts << " programs=" << c.programs;
    }
}

class PrepareScriptTest : public ::testing::Test, public testing::TestSite {
  protected:
    PrepareScriptTest() {
        folder.Write("dirs.lst", "\"/cgi/\",\"cgi\",\"No\",\"Yes\",\"Yes\"\r\n");
        script_ = folder.Write("cgi/run.pl", "print 1;").string();
        UseSettings("[CGI]\nEnablePerl=1\nPerlLocation=/usr/bin/perl\nTimeout=7\n");
    }

    void UseSettings(std::string_view text) { settings_ = config::Settings::Parse(text); }

    ScriptDecision Prepare(const std::string& name, std::string_view method = "GET",
                           size_t contentLength = 0) {
        const auto dirs = config::ReadRecords(folder.Path() / "dirs.lst", 5);
        const responses::Resolution resolution = responses::Resolve(
            *responses::ParseTarget("/cgi/" + name), {dirs, {}, settings_, program});
        return PrepareScript({.method = method,
                              .head = "GET / HTTP/1.0\r\n\r\n",
                              .contentLength = contentLength,
                              .resolution = resolution,
                              .kind = ClassifyScript(name, true, true),
                              .peerAddress = "10.0.0.7"},
                             {program, settings_, handler.Host(), now, snapshots_});
    }

    static std::string Status(const ScriptDecision& decision) {
        return testing::StatusLineOf(std::get<responses::Reply>(decision.action));
    }
    static const ScriptLaunch& Launch(const ScriptDecision& decision) {
        return std::get<ScriptLaunch>(decision.action);
    }

    config::Settings settings_;
    config::ConfigSnapshots snapshots_;
    std::string script_;
};

TEST_F(PrepareScriptTest, ChoosesTheInterpreterByTheFileNamesEnding) {
    folder.Write("cgi/run.Cgi", "");
    folder.Write("cgi/my.test.pl", "");
    folder.Write("cgi/tool.exe", "");
    EXPECT_EQ(Launch(Prepare("run.pl")).argv, (std::vector<std::string>{"/usr/bin/perl", script_}));
    EXPECT_EQ(Launch(Prepare("run.Cgi")).argv.size(), 2u);
    EXPECT_EQ(Launch(Prepare("my.test.pl")).argv.size(), 2u);
    EXPECT_EQ(Launch(Prepare("tool.exe")).argv,
              (std::vector<std::string>{(folder.Path() / "cgi/tool.exe").string()}));
    EXPECT_EQ(Launch(Prepare("run.pl")).workFolder, (folder.Path() / "cgi").string());
    EXPECT_EQ(Launch(Prepare("run.pl")).timeLimit, std::chrono::seconds(7));
}

TEST_F(PrepareScriptTest, RefusalsAnswerAtOnce) {
    EXPECT_EQ(Status(Prepare("absent.pl")), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(Status(Prepare(".hidden.pl")), "HTTP/1.1 404 Not Found");
    folder.Write("nocgi.lst", "\"10.0.0.7\"\r\n");
    const ScriptDecision barred = Prepare("run.pl");
    EXPECT_EQ(Status(barred), "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(barred.logView, " ** IP Blocked (CGI) **\r\n");
    std::filesystem::remove(folder.Path() / "nocgi.lst");

    UseSettings("[CGI]\nEnablePerl=0\n");
    EXPECT_EQ(Status(Prepare("run.pl")), "HTTP/1.1 403 Forbidden");
    folder.Write("cgi/tool.exe", "");
    EXPECT_TRUE(std::holds_alternative<ScriptLaunch>(Prepare("tool.exe").action));
    UseSettings("[CGI]\nEnablePerl=1\nPerlLocation=/nowhere/perl\n");
    EXPECT_EQ(Status(Prepare("run.pl")), "HTTP/1.1 500 Internal Server Error");
}

TEST_F(PrepareScriptTest, APostBodyIsLeftToBeReadBeforeItsCrLf) {
    const ScriptDecision post = Prepare("run.pl", "POST", 3);
    EXPECT_EQ(Launch(post).inputLength, 3u);
    EXPECT_EQ(Launch(post).input, "\r\n");
    EXPECT_EQ(Launch(Prepare("run.pl")).input, "");
}

}  // namespace
}  // namespace quorvane::cgi
