#include "cgi/cgi_gateway.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "cgi/cgi_environment.h"
#include "support/test_site.h"

namespace quorvane::cgi {
namespace {

bool Has(const std::vector<std::string>& environment, std::string_view entry) {
    return std::find(environment.begin(), environment.end(), entry) != environment.end();
}

TEST(CgiEnvironment, HeadersBecomeVariablesButNeverCredentialsOrProxy) {
    const std::string head =
        "GET /cgi-bin/t.pl?a=1&b=2 HTTP/1.1\r\nHost: desk:8080\r\nAccept: text/html\r\n"
        "Cookie: k=v\r\nAuthorization: Basic Ym9iOnNlY3JldA==\r\nProxy: evil:1\r\n"
        "Content-Length: 0\r\nX_Forwarded_For: 6.6.6.6\r\nX-Dashed-Name: yes\r\n"
        "X-Forwarded-For: 10.1.1.1\r\n\r\n";
    const http::Request request = http::ParseHead(head);
    const auto get = BuildEnvironment({.method = "GET",
                                       .request = &request,
                                       .query = "a=1&b=2",
                                       .physicalDirectory = "/srv/www/cgi-bin/",
                                       .requestDirectory = "/cgi-bin/",
                                       .scriptName = "t.pl",
                                       .remoteUser = "bob"});
    for (std::string_view entry :
         {"QUERY_STRING=a=1&b=2", "CONTENT_LENGTH=7", "HTTP_ACCEPT=text/html",
          "PATH_TRANSLATED=/srv/www/cgi-bin/", "SCRIPT_NAME=t.pl", "PATH_INFO=/cgi-bin/",
          "HTTP_HOST=desk:8080", "HTTP_COOKIE=k=v", "HTTP_X_DASHED_NAME=yes", "AUTH_TYPE=Basic",
          "REMOTE_USER=bob", "HTTP_X_FORWARDED_FOR=10.1.1.1"}) {
        EXPECT_TRUE(Has(get, entry)) << entry;
    }
    // A name spelled with "_" never stands in for the one spelled with "-".
    EXPECT_FALSE(Has(get, "HTTP_X_FORWARDED_FOR=6.6.6.6"));
    // No variable for the credentials, for Proxy, or twice for a length.
    for (std::string_view name : {"HTTP_AUTHORIZATION=", "HTTP_PROXY=", "HTTP_CONTENT_LENGTH="}) {
        EXPECT_FALSE(std::any_of(get.begin(), get.end(), [&](const std::string& e) {
            return e.starts_with(name);
        })) << name;
    }

    const http::Request form =
        http::ParseHead("POST /f.pl?ignored HTTP/1.1\r\ncontent-type: multipart/form-data\r\n\r\n");
    const auto post = BuildEnvironment({.post = true,
                                        .method = "POST",
                                        .request = &form,
                                        .query = "ignored",
                                        .contentLength = 12});
    EXPECT_TRUE(Has(post, "QUERY_STRING=") && Has(post, "CONTENT_LENGTH=12") &&
                Has(post, "CONTENT_TYPE=multipart/form-data"));
    const http::Request plain = http::ParseHead("POST / HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(Has(BuildEnvironment({.post = true, .request = &plain}),
                    "CONTENT_TYPE=application/x-www-form-urlencoded"));
}

TEST(CgiOutput, HeaderBlocksBecomeTheHeadWithTheBodysRealLength) {
    const http::Response plain = *ComposeCgiReply("Content-Type: text/plain\n\nhello");
    EXPECT_EQ(plain.code, 200);
    EXPECT_EQ(plain.Field("Content-Type"), "text/plain");
    EXPECT_EQ(plain.TextBody(), "hello");
    // The script's own framing and connection lines are the server's to state.
    const http::Response own = *ComposeCgiReply(
        "Status: 404 Not Found\r\nX-A: 1\r\nConnection: keep-alive\r\nContent-Length: 99\r\n"
        "Transfer-Encoding: chunked\r\n\r\nab");
    EXPECT_EQ(own.code, 404);
    EXPECT_EQ(own.reason, "Not Found");
    EXPECT_EQ(own.Field("X-A"), "1");
    EXPECT_FALSE(own.fields.Has("Connection") || own.fields.Has("Transfer-Encoding") ||
                 own.fields.Has("Content-Length"));
    EXPECT_EQ(own.BodyLength(), 2u);
    EXPECT_EQ(ComposeCgiReply("Location: /moved.htm\r\n\r\n")->status(), http::Status::kFound);
}

TEST(CgiOutput, FullRepliesAreRelayedAndBrokenOutputRefused) {
    const std::string full = "HTTP/1.0 200 OK\r\nX: y\r\n\r\nraw \x01 bytes";
    EXPECT_TRUE(ComposeCgiReply(full)->IsRaw());
    EXPECT_EQ(ComposeCgiReply(full)->TextBody(), full);
    EXPECT_FALSE(ComposeCgiReply("").has_value());
    EXPECT_FALSE(ComposeCgiReply("just a body without headers\n\n").has_value());
    EXPECT_FALSE(ComposeCgiReply("Content-Type: text/plain\r\nno empty line").has_value());
    for (std::string_view status : {"fine", "304404 No Found", "20", "103 Early Hints", "600 x"}) {
        EXPECT_FALSE(ComposeCgiReply("Status: " + std::string(status) + "\r\n\r\n").has_value())
            << status;
    }
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
        EXPECT_EQ(ClassifyScript(c.name, c.scripts, c.programs, false), c.kind)
            << c.name << " scripts=" << c.scripts << " programs=" << c.programs;
    }
}

class PrepareScriptTest : public ::testing::Test, public testing::TestSite {
  protected:
    PrepareScriptTest() {
        folder.WriteDirs({{"/cgi/", "cgi", false, true, true}});
        folder.Write("cgi/run.pl", "print 1;");
        UseSettings("[CGI]\nEnablePerl=1\nPerlLocation=/usr/bin/perl\nTimeout=7\n");
    }

    void UseSettings(std::string_view text) {
        settings_ = std::make_shared<const config::Settings>(config::Settings::Parse(text));
    }

    ScriptDecision Prepare(const std::string& name) {
        config_ = snapshots_.Take(program);
        config_.settings = settings_;
        const auto dirs = config::ReadDirectories(folder.Path() / "dirs.lst");
        const responses::Resolution resolution = responses::Resolve(
            *http::ParseTarget("/cgi/" + name), {dirs, {}, *config_.settings, program});
        const http::Request request = http::ParseHead("GET / HTTP/1.0\r\n\r\n");
        return PrepareScript({.method = "GET",
                              .request = request,
                              .resolution = resolution,
                              .kind = ClassifyScript(name, true, true, true),
                              .peerAddress = "10.0.0.7"},
                             {program, config_, handler.Host(), now, snapshots_});
    }

    static int Status(const ScriptDecision& decision) {
        return std::get<http::Response>(decision.action).code;
    }
    static const ScriptLaunch& Launch(const ScriptDecision& decision) {
        return std::get<ScriptLaunch>(decision.action);
    }

    std::shared_ptr<const config::Settings> settings_;
    config::Configuration config_;
    config::ConfigSnapshots snapshots_;
};

TEST_F(PrepareScriptTest, LaunchesWithItsLimitOrRefusesAtOnce) {
    folder.Write("cgi/tool.exe", "");
    EXPECT_EQ(Launch(Prepare("tool.exe")).argv,
              (std::vector<std::string>{(folder.Path() / "cgi/tool.exe").string()}));
    EXPECT_EQ(Launch(Prepare("run.pl")).timeLimit, std::chrono::seconds(7));

    EXPECT_EQ(Status(Prepare("absent.pl")), 404);
    EXPECT_EQ(Status(Prepare(".hidden.pl")), 404);
    folder.WriteAddresses(config::kNoCgiList, {"10.0.0.7"});
    const ScriptDecision barred = Prepare("run.pl");
    EXPECT_EQ(Status(barred), 403);
    EXPECT_EQ(barred.logView, " ** IP Blocked (CGI) **\r\n");
    std::filesystem::remove(folder.Path() / "nocgi.lst");

    UseSettings("[CGI]\nEnablePerl=0\n");
    EXPECT_EQ(Status(Prepare("run.pl")), 403);
    EXPECT_TRUE(std::holds_alternative<ScriptLaunch>(Prepare("tool.exe").action));
    UseSettings("[CGI]\nEnablePerl=1\nPerlLocation=/nowhere/perl\n");
    EXPECT_EQ(Status(Prepare("run.pl")), 500);
}

}  // namespace
}  // namespace quorvane::cgi
