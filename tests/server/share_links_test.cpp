// Share links on the road: what a link opens, for how long, and nothing
// beyond it, whichever way a request tries to get out of its folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "config/share_links.h"
#include "support/reply_text.h"
#include "support/test_site.h"

namespace quorvane::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::system_clock;

constexpr std::string_view kNotFound = "HTTP/1.1 404 Not Found";
constexpr std::string_view kOk = "HTTP/1.1 200 OK";

class ShareLinksTest : public ::testing::Test, public RunningSite {
  protected:
    ShareLinksTest() {
        folder.WriteSettings({{"HomePage", "RootDirectory", "www"},
                              {"Documents", "DirectoryBrowsing", "0"},
                              {"CGI", "Enabled", "1"},
                              {"CGI", "EnablePerl", "1"}});
        folder.WriteDirs({{"/", "www"},
                          {"/private/", "www/private", true},
                          {"/cgi-bin/", "www/private/shared/cgi", false, true}});
        folder.WriteUsers({{"guest", "quorvane"}});
        folder.Write("www/private/PARENT-SECRET.txt", "PARENT-SECRET");
        folder.Write("www/private/sibling/SIBLING.txt", "SIBLING-SECRET");
        folder.Write("www/private/shared/report.txt", "REPORT");
        folder.Write("www/private/shared/sub/deep.txt", "DEEP");
        folder.Write("www/private/shared/.hidden.txt", "HIDDEN-SECRET");
        folder.Write("www/private/shared/cgi/run.pl", "# SCRIPT-SOURCE");
        folder.Write("www/private/shared/cgi/note.txt", "CGI-NOTE");
        Link("..", "www/private/shared/up");
        Link("../sibling", "www/private/shared/next");
        Link("/etc", "www/private/shared/etc");
        Link("sub", "www/private/shared/inside");
        Link("/proc/self", "www/private/shared/self");
        Link((folder.Path() / "users.lst").string(), "www/private/shared/users.txt");
        ::link((folder.Path() / "users.lst").c_str(),
               (folder.Path() / "www/private/shared/hard.txt").c_str());
        ::link((folder.Path() / "quorvane.ini").c_str(),
               (folder.Path() / "www/private/shared/sub/settings.txt").c_str());
        token = Share("www/private/shared");
    }

    void Link(const std::string& target, std::string_view name) {
        std::filesystem::create_symlink(target, folder.Path() / name);
    }

    std::string Share(std::string_view relative, std::optional<Clock::time_point> expires = {},
                      std::optional<uint64_t> downloads = {}) {
        const std::string made = config::MakeShareToken();
        config::SharesFile(folder.Path() / "shares.lst")
            .Add({.tokenHash = config::HashShareToken(made),
                  .path = (folder.Path() / relative).string(),
                  .created = now,
                  .expires = expires,
                  .downloadsLeft = downloads});
        return made;
    }

    // Through the handler, at the test's clock.
    int Code(std::string_view target, std::string_view method = "GET") {
        return Handle(std::string(method) + " " + std::string(target) +
                      " HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n")
            .reply.code;
    }

    std::string token;
};

TEST_F(ShareLinksTest, ALinkOpensItsFolderWithoutThePasswordOfTheSecureFolderAroundIt) {
    EXPECT_EQ(StatusOf(Fetch("/private/shared/report.txt")), "HTTP/1.1 401 Unauthorized");
    const std::string root = "/s/" + token + "/";
    const std::pair<std::string, std::string_view> reached[] = {
        {root + "report.txt", "REPORT"},
        {root + "sub/deep.txt", "DEEP"},
        {root + "inside/deep.txt", "DEEP"},  // a link that stays inside is followed
        {root + "cgi/note.txt", "CGI-NOTE"},
        {root, "report.txt"},  // the folder's page, even with browsing off
        {root + "?format=json", "report.txt"},
    };
    for (const auto& [target, text] : reached) {
        const std::string reply = Fetch(target);
        EXPECT_EQ(StatusOf(reply), kOk) << target;
        EXPECT_NE(reply.find(text), std::string::npos) << target;
    }
    EXPECT_EQ(StatusOf(Fetch("/s/" + token)), "HTTP/1.1 301 Moved Permanently");
    // Listed is only what the link reaches; nothing is kept past a revoke.
    const std::string listing = Fetch(root + "?format=json");
    for (std::string_view out : {"\"up\"", "\"next\"", "\"etc\"", "users.txt", "hard.txt"}) {
        EXPECT_EQ(listing.find(out), std::string::npos) << out;
    }
    EXPECT_NE(listing.find("\"inside\""), std::string::npos);
    for (const std::string& target : {root, root + "report.txt"}) {
        EXPECT_NE(Fetch(target).find("Cache-Control: no-store"), std::string::npos) << target;
    }
}

TEST_F(ShareLinksTest, NothingOutsideTheSharedFolderIsReachedThroughIt) {
    const std::string root = "/s/" + token + "/";
    std::vector<std::string> attempts;
    for (std::string_view tail : {"..",
                                  "../PARENT-SECRET.txt",
                                  "%2e%2e/PARENT-SECRET.txt",
                                  "..%2FPARENT-SECRET.txt",
                                  "up/PARENT-SECRET.txt",
                                  "next/SIBLING.txt",
                                  "etc/passwd",
                                  "%2Fetc%2Fpasswd",
                                  "users.txt",
                                  "hard.txt",
                                  "sub/settings.txt",
                                  ".hidden.txt",
                                  "%2ehidden.txt",
                                  "cgi/run.pl",
                                  "cgi/run.pl/",
                                  "report.txt/",
                                  "sub/../../sibling/SIBLING.txt",
                                  "/../../quorvane.ini",
                                  "%5C..%5CPARENT-SECRET.txt",
                                  "report.txt%00.jpg",
                                  "self/environ",
                                  "self/cwd/users.lst",
                                  "./../PARENT-SECRET.txt"}) {
        attempts.push_back(root + std::string(tail));
    }
    attempts.push_back("http://x" + root + "../PARENT-SECRET.txt");  // absolute form
    for (const std::string& attempt : attempts) {
        for (std::string_view method : {"GET", "HEAD"}) {
            const std::string reply =
                Send(std::string(method) + " " + attempt + " HTTP/1.0\r\n\r\n");
            const std::string status = StatusOf(reply);
            EXPECT_TRUE(status == kNotFound || status == "HTTP/1.1 400 Bad Request")
                << method << " " << attempt << " -> " << status;
            for (std::string_view secret :
                 {"PARENT-SECRET", "SIBLING-SECRET", "root:x:0", "HIDDEN-SECRET", "SCRIPT-SOURCE",
                  "quorvane\"", "RootDirectory"}) {
                EXPECT_EQ(reply.find(secret), std::string::npos) << attempt << " leaks " << secret;
            }
        }
    }
}

TEST_F(ShareLinksTest, TheZipAndSearchHoldOnlyWhatTheLinkReaches) {
    const std::string zip = Fetch("/s/" + token + "/?format=zip");
    const std::string found = Fetch("/s/" + token + "/?q=t&format=json");
    ASSERT_EQ(StatusOf(zip), kOk);
    for (const std::string* listed : {&zip, &found}) {
        for (std::string_view name : {"PARENT-SECRET.txt", "SIBLING.txt", ".hidden.txt", "run.pl",
                                      "passwd", "settings.txt", "hard.txt", "users.txt"}) {
            EXPECT_EQ(listed->find(name), std::string::npos) << name;
        }
        EXPECT_NE(listed->find("deep.txt"), std::string::npos);
        EXPECT_NE(listed->find("note.txt"), std::string::npos);
    }
}

TEST_F(ShareLinksTest, ALinkOnlyReads) {
    const std::string target = "/s/" + token + "/report.txt";
    for (std::string_view method : {"PUT", "DELETE", "POST", "PROPFIND", "MKCOL", "MOVE"}) {
        EXPECT_EQ(Code(target, method), 405) << method;
    }
    EXPECT_EQ(folder.Read("www/private/shared/report.txt"), "REPORT");
}

TEST_F(ShareLinksTest, AGuessedCutOrRevokedTokenFindsNothing) {
    std::string altered = token;
    altered[3] = altered[3] == 'A' ? 'B' : 'A';
    const std::string tokenOfNothing = config::MakeShareToken();
    for (const std::string& wrong :
         {altered, tokenOfNothing, token.substr(0, 31), config::HashShareToken(token)}) {
        EXPECT_EQ(Code("/s/" + wrong + "/report.txt"), 404) << wrong;
    }
    const config::ShareLink made = config::SharesFile(folder.Path() / "shares.lst").Read()->front();
    ASSERT_EQ(config::SharesFile(folder.Path() / "shares.lst").Revoke(made.Id()),
              config::SharesFile::Revoked::kDone);
    EXPECT_EQ(Code("/s/" + token + "/report.txt"), 404);
}

TEST_F(ShareLinksTest, ALinkEndsWhenItExpiresOrItsDownloadsAreUsed) {
    const std::string expiring = Share("www/private/shared/report.txt", now + 1h);
    EXPECT_EQ(Code("/s/" + expiring), 200);
    now += 59min;
    EXPECT_EQ(Code("/s/" + expiring), 200);
    now += 1min;
    EXPECT_EQ(Code("/s/" + expiring), 404);

    const std::string counted = Share("www/private/shared", std::nullopt, 2);
    const std::string root = "/s/" + counted + "/";
    EXPECT_EQ(Code(root), 200) << "the page is no download";
    EXPECT_EQ(Code(root + "report.txt", "HEAD"), 200);
    // A range would give the file uncounted: the whole is sent, and counted.
    const http::Response ranged =
        Handle("GET " + root + "report.txt HTTP/1.1\r\nHost: x\r\nRange: bytes=0-\r\n\r\n").reply;
    EXPECT_EQ(ranged.code, 200);
    EXPECT_EQ(ranged.Field("Accept-Ranges"), "none");
    EXPECT_EQ(Code(root + "?format=zip"), 200);
    EXPECT_EQ(Code(root + "report.txt"), 404);
    EXPECT_EQ(Code(root), 404);
}

TEST_F(ShareLinksTest, ALinkOpensNothingOnceItsPathLeadsElsewhere) {
    folder.Write("www/private/shared/sub/file.txt", "FILE");
    folder.Write("outside/passwd", "OUTSIDE-SECRET");
    const auto replaceByLink = [&](std::string_view relative, std::string_view target) {
        const std::filesystem::path place = folder.Path() / relative;
        std::filesystem::remove_all(place);
        std::filesystem::create_symlink(folder.Path() / target, place);
    };
    struct Case {
        std::string_view what;
        std::string link;  // made before `change`
        std::function<void()> change;
        std::string target;  // below the link
    };
    const std::string file = Share("www/private/shared/sub/file.txt");
    const std::string sub = Share("www/private/shared/sub");
    const std::string loose = config::MakeShareToken();
    const Case cases[] = {
        {"a shared file replaced by a link out", file,
         [&] { replaceByLink("www/private/shared/sub/file.txt", "outside/passwd"); }, ""},
        {"a shared folder replaced by a link out", sub,
         [&] { replaceByLink("www/private/shared/sub", "outside"); }, "/passwd"},
        {"a record naming a place the site does not serve", loose,
         [&] {
             config::SharesFile(folder.Path() / "shares.lst")
                 .Add({.tokenHash = config::HashShareToken(loose),
                       .path = (folder.Path() / "outside").string(),
                       .created = now});
         },
         "/passwd"},
        {"a folder no longer served", token,
         [&] {
             folder.WriteSettings({{"HomePage", "RootDirectory", "elsewhere"}});
             folder.WriteDirs({{"/", "elsewhere"}});
         },
         "/report.txt"},
    };
    EXPECT_EQ(Code("/s/" + file), 200);
    for (const Case& c : cases) {
        c.change();
        const std::string reply = Fetch("/s/" + c.link + c.target);
        EXPECT_EQ(StatusOf(reply), kNotFound) << c.what;
        EXPECT_EQ(reply.find("OUTSIDE-SECRET"), std::string::npos) << c.what;
    }
}

TEST_F(ShareLinksTest, EveryUseIsLoggedWithoutTheToken) {
    const std::string file = Share("www/private/shared/report.txt");
    const std::string fetched = Fetch("/s/" + file);
    EXPECT_NE(fetched.find("REPORT"), std::string::npos);
    EXPECT_NE(fetched.find("Content-Disposition: inline; filename=\"report.txt\""),
              std::string::npos);
    Fetch("/s/" + token + "/sub/deep.txt");
    Fetch("/s/" + config::MakeShareToken() + "/x");
    // Refused before it is understood, almost a token, encoded, repeated.
    std::string encoded = token;
    encoded.replace(0, 1,
                    "%" + std::string(1, "0123456789ABCDEF"[token[0] >> 4]) +
                        "0123456789ABCDEF"[token[0] & 0xF]);
    for (const std::string& target :
         {"/s/" + token + "/../x", "/s/" + token + ".", "/S/" + token + "/report.txt",
          "/s/" + encoded + "/report.txt", "/s/" + token + "/?q=" + token,
          "/%73/" + token + "/report.txt"}) {
        Fetch(target);
    }
    const server::Outcome copied =
        Handle("COPY /private/shared/report.txt HTTP/1.1\r\nHost: x\r\nDestination: http://x/s/" +
               token + "/copy.txt\r\n\r\n");
    EXPECT_EQ(copied.logView.find(token), std::string::npos) << copied.logView;
    const server::Outcome searched =
        Handle("GET /s/" + token + "/?q=" + token + " HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(searched.logView.find(token.substr(4)), std::string::npos) << searched.logView;
    log.Flush();
    const std::string logged = folder.Read("quorvane.log");
    for (const std::string& used : {file, token}) {
        EXPECT_EQ(logged.find(used), std::string::npos);
        EXPECT_EQ(logged.find(used.substr(4, 16)), std::string::npos);
    }
    EXPECT_NE(logged.find("GET /s/" + file.substr(0, 4) + "... HTTP/1.0"), std::string::npos);
    EXPECT_NE(logged.find("/s/" + token.substr(0, 4) + ".../sub/deep.txt"), std::string::npos);
    EXPECT_NE(logged.find("/s/" + token.substr(0, 4) + ".../?..."), std::string::npos);
}

}  // namespace
}  // namespace quorvane::testing
