#include "server/request_handler.h"

#include <gtest/gtest.h>

#include "config/list_files.h"
#include "responses/password_hash.h"
#include "server/limits.h"
#include "support/reply_text.h"
#include "support/test_site.h"

namespace quorvane::server {
namespace {

using namespace std::chrono_literals;

class RequestHandlerTest : public ::testing::Test, public testing::TestSite {
  protected:
    RequestHandlerTest() {
        config::CreateDirsList(program);
        folder.WriteSettings({{"HomePage", "RootDirectory", "www"}});
        folder.Write("www/index.htm", "home");
    }
};

TEST_F(RequestHandlerTest, DocumentRequestIsLoggedAndServed) {
    const Outcome outcome = Handle("GET / HTTP/1.0\r\nHost: x\r\n\r\n");
    EXPECT_EQ(outcome.reply.code, 200);
    EXPECT_EQ(testing::BodyText(outcome.reply), "home");
    EXPECT_EQ(outcome.logView, " For Document: Default\r\n");
    ASSERT_TRUE(outcome.accessLogLine.has_value());
    EXPECT_EQ(outcome.accessLogLine->substr(0, 10), "10.0.0.7,[");
    EXPECT_EQ(outcome.accessLogLine->substr(outcome.accessLogLine->size() - 17),
              "],GET / HTTP/1.0\r");
}

// A write names what it did in the log view; a body it needs is asked for
// before anything is decided, and an upload goes to a sink.
TEST_F(RequestHandlerTest, WebDavRequestsSayWhatTheyDoAndAskForTheirBodies) {
    folder.WriteSettings({{"HomePage", "RootDirectory", "www"},
                          {"HomePage", "Uploads", "1"},
                          {"HomePage", "Changes", "1"},
                          {"Uploads", "KeepFreeMiB", "0"}});
    const Outcome moved =
        Handle("MOVE /index.htm HTTP/1.1\r\nHost: x\r\nDestination: /home.htm\r\n\r\n");
    EXPECT_EQ(moved.reply.code, 201);
    EXPECT_EQ(moved.logView, " MOVE: /index.htm -> /home.htm\r\n");
    EXPECT_TRUE(std::filesystem::exists(folder.Path() / "www/home.htm"));
    const Outcome made = Handle("MKCOL /new HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(made.reply.code, 201);
    EXPECT_EQ(made.logView, " MKCOL: /new\r\n");
    const Outcome asking =
        Handle("PROPFIND / HTTP/1.1\r\nHost: x\r\nDepth: 0\r\nContent-Length: 50\r\n\r\n");
    EXPECT_EQ(asking.bodyWanted, 1024u * 1024u);
    const Outcome upload =
        Handle("PUT /up.txt HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n");
    EXPECT_TRUE(upload.sink);
    // A page that uploads only new files says so, and an existing one stays.
    const Outcome onlyNew = Handle(
        "PUT /home.htm HTTP/1.1\r\nHost: x\r\nIf-None-Match: *\r\nContent-Length: 1\r\n\r\n");
    EXPECT_EQ(onlyNew.reply.code, 412);
    EXPECT_FALSE(onlyNew.sink);
    // Chunked bodies stay refused where a script would have to be told a length.
    EXPECT_EQ(Handle("POST /index.htm HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n")
                  .reply.code,
              411);
}

TEST_F(RequestHandlerTest, RefusalsAreRecordedToo) {
    folder.WriteAddresses(config::kBlockList, {"10.0.0.70", "10.0.0.7"});
    const Outcome blocked = Handle("GET / HTTP/1.0\r\n\r\n");
    EXPECT_EQ(blocked.reply.code, 403);
    EXPECT_EQ(blocked.logView, " ** IP Blocked **\r\n");
    EXPECT_NE(blocked.accessLogLine->find("],GET / HTTP/1.0\r"), std::string::npos);
    EXPECT_EQ(Handle("GET / HTTP/1.0\r\n\r\n", "10.0.0.71").reply.code, 200);

    const Outcome traversal = Handle("GET /%2e%2e/quorvane.ini HTTP/1.0\r\n\r\n", "10.0.0.71");
    EXPECT_EQ(traversal.reply.code, 400);
    EXPECT_TRUE(traversal.accessLogLine.has_value());

    const Outcome other = Handle("PATCH /index.htm HTTP/1.1\r\n\r\n", "10.0.0.71");
    EXPECT_EQ(other.reply.code, 501);
    EXPECT_EQ(other.accessLogLine->back(), ',');
    EXPECT_EQ(Handle("POST /index.htm HTTP/1.0\r\nContent-Length: 99999999\r\n\r\n", "10.0.0.71")
                  .reply.code,
              413);
}

TEST_F(RequestHandlerTest, AFolderIsNamedWithItsFinalSlash) {
    folder.Write("www/my docs/index.htm", "docs");
    folder.Write("www/private/index.htm", "private");
    folder.WriteDirs({{"/", "www"}, {"/private/", "www/private", true}});
    const Outcome moved = Handle("GET /my%20docs?sort=name HTTP/1.0\r\n\r\n");
    EXPECT_EQ(moved.reply.code, 301);
    EXPECT_EQ(moved.reply.Field("Location"), "/my%20docs/?sort=name");
    // The query keeps its own escapes; raw control and non-ASCII bytes are encoded.
    const Outcome raw =
        Handle(std::string("GET /my%20docs?a=%41&b=\x01\xA2\t<x> HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(raw.reply.Field("Location"), "/my%20docs/?a=%41&b=%01%A2%09%3Cx%3E");
    EXPECT_EQ(testing::BodyText(Handle("GET /my%20docs/?sort=name HTTP/1.0\r\n\r\n").reply),
              "docs");
    // A stranger learns nothing of what a secure folder holds.
    EXPECT_EQ(Handle("GET /private HTTP/1.0\r\n\r\n").reply.code, 401);
}

TEST_F(RequestHandlerTest, RedirectedSiteAnswersEveryRequestWithTheRedirect) {
    folder.WriteSettings({{"HomePage", "SiteLocation", "Redirect"},
                          {"HomePage", "RootDirectory", "http://example.org/"}});
    for (std::string_view head : {"GET /x.htm HTTP/1.0\r\n\r\n", "DELETE / HTTP/1.1\r\n\r\n",
                                  "GET /../x HTTP/1.0\r\n\r\n"}) {
        const Outcome outcome = Handle(head);
        EXPECT_EQ(outcome.reply.code, 302);
        EXPECT_EQ(outcome.reply.Field("Location"), "http://example.org/");
        EXPECT_FALSE(outcome.accessLogLine.has_value());
    }
    folder.WriteSettings(
        {{"HomePage", "SiteLocation", "redir"}, {"HomePage", "RootDirectory", "www"}});
    EXPECT_EQ(Handle("GET / HTTP/1.0\r\n\r\n").reply.code, 200);
}

TEST_F(RequestHandlerTest, EditsApplyToTheNextRequest) {
    EXPECT_EQ(Handle("GET / HTTP/1.0\r\n\r\n").reply.code, 200);
    folder.Write("other/index.htm", "moved");
    folder.WriteDirs({{"/", "other"}});
    EXPECT_EQ(testing::BodyText(Handle("GET / HTTP/1.0\r\n\r\n").reply), "moved");
    folder.WriteAddresses(config::kBlockList, {"10.0.0.7"});
    EXPECT_EQ(Handle("GET / HTTP/1.0\r\n\r\n").reply.code, 403);
}

TEST_F(RequestHandlerTest, PasswordsGoInClearOnlyWhenAnotherComputerAsksOverPlainHttp) {
    folder.WriteSettings({{"HomePage", "RootDirectory", "www"}, {"HomePage", "Secure", "1"}});
    const http::Request request = http::ParseHead("GET /index.htm HTTP/1.0\r\n\r\n");
    const auto clear = [&](bool secure, bool fromThisComputer) {
        return handler
            .Handle(
                request,
                {.address = "192.0.2.9", .secure = secure, .fromThisComputer = fromThisComputer},
                now)
            .passwordsInClear;
    };
    EXPECT_TRUE(clear(false, false));
    EXPECT_FALSE(clear(true, false));
    EXPECT_FALSE(clear(false, true));
    folder.WriteSettings({{"HomePage", "RootDirectory", "www"}});
    EXPECT_FALSE(clear(false, false));
}

class SignInTest : public RequestHandlerTest {
  protected:
    SignInTest() {
        folder.WriteSettings({{"HomePage", "RootDirectory", "www"}, {"HomePage", "Secure", "1"}});
    }
    // users.lst as written long ago, so each reading of it lasts until it changes.
    void WriteUsers(const std::vector<config::UserAccount>& users) {
        folder.WriteUsers(users);
        std::filesystem::last_write_time(folder.Path() / config::kUsersList,
                                         std::filesystem::file_time_type::clock::now() - 1h);
    }
    int Status(std::string_view credentials, std::string_view peer = "10.0.0.7") {
        return Handle("GET / HTTP/1.0\r\nAuthorization: Basic " + std::string(credentials) +
                          "\r\n\r\n",
                      peer)
            .reply.code;
    }
    static std::string Hash(std::string_view password) {
        return responses::HashPassword(password).value_or("");
    }
    static constexpr std::string_view kBobFirst = "Ym9iOmZpcnN0";  // bob:first
    static constexpr std::string_view kAnnPw = "YW5uOnB3";         // ann:pw
};

// Sign-ins remembered between requests never outlast the list they were
// checked against: the next request after an edit reads the list as edited.
TEST_F(SignInTest, TheNextRequestAfterAnEditOfTheUsersFollowsIt) {
    WriteUsers({{"bob", Hash("first")}, {"ann", "pw"}});
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Status(kBobFirst), 200);
        EXPECT_EQ(Status(kAnnPw), 200);
    }
    WriteUsers({{"bob", Hash("second")}, {"ann", "pw"}});
    EXPECT_EQ(Status(kBobFirst), 401);
    EXPECT_EQ(Status("Ym9iOnNlY29uZA=="), 200);  // bob:second
    EXPECT_EQ(Status(kAnnPw), 200);
    WriteUsers({{"bob", Hash("second")}});
    EXPECT_EQ(Status(kAnnPw), 401);
}

TEST_F(SignInTest, WrongPasswordsAgainstAHashAreHeldBackAsAgainstOneInClear) {
    const std::pair<std::string_view, std::string> cases[] = {{"10.0.0.8", Hash("right")},
                                                              {"10.0.0.9", "right"}};
    for (const auto& [client, stored] : cases) {
        WriteUsers({{"bob", stored}});
        for (int i = 0; i < kFreeSignInFailures; ++i) {
            EXPECT_EQ(Status("Ym9iOndyb25n", client), 401);  // bob:wrong
        }
        const Outcome held =
            Handle("GET / HTTP/1.0\r\nAuthorization: Basic Ym9iOndyb25n\r\n\r\n", client);
        EXPECT_TRUE(held.signInsHeld.has_value()) << stored;
        EXPECT_EQ(Status("Ym9iOnJpZ2h0", client), 429) << stored;  // bob:right
    }
}

}  // namespace
}  // namespace quorvane::server
