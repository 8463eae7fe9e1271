#include "responses/document_server.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "config/list_files.h"
#include "responses/listing_pages.h"
#include "support/reply_text.h"
#include "support/temp_folder.h"

namespace quorvane::responses {
namespace {

using namespace std::chrono;

constexpr std::string_view kBobSecret = "Basic Ym9iOnNlY3JldA==";  // bob:secret

class DocumentServerTest : public ::testing::Test {
  protected:
    DocumentServerTest() {
        config::CreateDefaultDocumentList(program_);
        config::CreateMimeList(program_);
        folder_.Write("dirs.lst", "\"/\",\"www\",\"No\",\"No\",\"No\"\r\n");
        folder_.Write("users.lst", "\"bob\",\"secret\"\r\n");
        UseSettings("[HomePage]\nRootDirectory=www\n");
    }

    void UseSettings(std::string_view text) { settings_ = config::Settings::Parse(text); }

    Reply Serve(std::string directory, std::string document, std::string authorization = "") {
        request_ =
            DocumentRequest{std::move(directory), std::move(document), std::move(authorization)};
        return ServeDocument(request_, RequestScope{program_, settings_, host_, now_, snapshots_});
    }

    std::string Status(const Reply& reply) { return testing::StatusLineOf(reply.head); }

    testing::TempFolder folder_;
    config::ProgramFolder program_ = folder_.Program();
    config::Settings settings_;
    config::ConfigSnapshots snapshots_;
    HostIdentity host_{"desk", "10.0.0.2"};
    Clock::time_point now_ = sys_days{year{2026} / March / 1} + hours(9);
    DocumentRequest request_;
};

TEST_F(DocumentServerTest, DefaultDocumentIsTheFirstListedThatExists) {
    folder_.Write("www/default.htm", "second choice");
    folder_.Write("www/index.html", "first choice");
    const Reply reply = Serve("/", "Default");
    EXPECT_EQ(testing::WireText(reply),
              "HTTP/1.1 200 OK\r\nServer: Quorvane2000\r\nContent-Type: text/html\r\n"
              "Accept-Ranges: bytes\r\nContent-Length: 12\r\nConnection: close\r\n\r\n"
              "first choice");
    EXPECT_EQ(request_.document, "index.html");
    EXPECT_TRUE(reply.file) << "a page without footer is streamed from the file";
}

TEST_F(DocumentServerTest, SubfolderOfAVirtualDirectoryIsServedFromTheRoot) {
    folder_.Write(
        "dirs.lst",
        "\"/\",\"www\",\"No\",\"No\",\"No\"\r\n\"/docs/\",\"elsewhere\",\"Yes\",\"No\",\"No\"\r\n");
    folder_.Write("elsewhere/a.txt", "virtual");
    folder_.Write("www/docs/sub/a.txt", "under the root");
    EXPECT_EQ(testing::BodyText(Serve("/docs/sub", "a.txt")), "under the root");
    EXPECT_EQ(Status(Serve("/docs", "a.txt")), "HTTP/1.0 401 Unauthorized");
    EXPECT_EQ(testing::BodyText(Serve("/docs", "a.txt", std::string(kBobSecret))), "virtual");
    EXPECT_EQ(Status(Serve("/Docs", "a.txt")), "HTTP/1.1 404 Not Found");  // case significant
}

TEST_F(DocumentServerTest, ContentTypesComeFromTheMimeList) {
    folder_.Write("www/PAGE.HTM", "<html></html>");
    folder_.Write("www/sound.wav", "RIFF");
    folder_.Write("www/jquery.min.js", "js");
    folder_.Write("www/noext", "plain");
    folder_.Write("www/photo.jpg", "jpeg");
    folder_.Write("mime.lst",
                  "\"htm,text/html\"\r\n\"wav,audio,x-wav\"\r\n\"broken\"\r\n"
                  "\"js,text/javascript\"\r\n\"min.js,text/minified\"\r\n\"JPG,image/jpeg\"\r\n");
    // Extensions match whatever their letter case, on either side.
    EXPECT_NE(Serve("/", "PAGE.HTM").head.find("Content-Type: text/html\r\n"), std::string::npos);
    EXPECT_NE(Serve("/", "photo.jpg").head.find("Content-Type: image/jpeg\r\n"), std::string::npos);
    EXPECT_NE(Serve("/", "sound.wav").head.find("Content-Type: audio,x-wav\r\n"),
              std::string::npos);
    // The text after the first dot wins over the last dot when both are listed.
    EXPECT_NE(Serve("/", "jquery.min.js").head.find("Content-Type: text/minified\r\n"),
              std::string::npos);
    folder_.Write("mime.lst", "\"js,text/javascript\"\r\n");
    EXPECT_NE(Serve("/", "jquery.min.js").head.find("Content-Type: text/javascript\r\n"),
              std::string::npos);
    std::filesystem::remove(folder_.Path() / "mime.lst");
    EXPECT_NE(Serve("/", "sound.wav").head.find("Content-Type: text/plain\r\n"), std::string::npos);
}

TEST_F(DocumentServerTest, FooterGoesBeforeTheFirstClosingHtmlTagOfHtmlPagesOnly) {
    folder_.Write("www/a.htm", "<p>x</p></HTML>tail</html>");
    folder_.Write("www/b.htm", "<p>no closing tag</p>");
    folder_.Write("www/c.txt", "text</html>");
    UseSettings(
        "[HomePage]\nRootDirectory=www\n[Documents]\nEnableFooter=1\nFooterHTML=<i>f</i>\n");
    const Reply reply = Serve("/", "a.htm");
    EXPECT_EQ(testing::BodyText(reply), "<p>x</p><i>f</i></HTML>tail</html>");
    EXPECT_NE(reply.head.find("Content-Length: 34\r\n"), std::string::npos);
    EXPECT_EQ(testing::BodyText(Serve("/", "b.htm")), "<p>no closing tag</p>");
    EXPECT_EQ(testing::BodyText(Serve("/", "c.txt")), "text</html>");

    UseSettings("[HomePage]\nRootDirectory=www\n[Documents]\nEnableFooter=1\n");
    EXPECT_EQ(testing::BodyText(Serve("/", "a.htm")),
              "<p>x</p><p><b>Served By Quorvane2000</b></HTML>tail</html>");
    UseSettings("[HomePage]\nRootDirectory=www\n[Documents]\nEnableFooter=2\n");
    EXPECT_EQ(testing::BodyText(Serve("/", "a.htm")), "<p>x</p></HTML>tail</html>");
}

TEST_F(DocumentServerTest, MissingThingsAre404) {
    folder_.Write("www/folder/file.txt", "x");
    EXPECT_EQ(Status(Serve("/", "absent.htm")), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(Status(Serve("/", "folder")), "HTTP/1.1 404 Not Found");  // a folder is no document
    EXPECT_EQ(Status(Serve("/", "")), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(Status(Serve("/nowhere", "file.txt")), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(Status(Serve("/folder", "Default")), "HTTP/1.1 404 Not Found");  // browsing absent
    UseSettings("[HomePage]\nRootDirectory=www\n[Documents]\nDirectoryBrowsing=2\n");
    EXPECT_EQ(Status(Serve("/folder", "Default")), "HTTP/1.1 404 Not Found");
}

TEST_F(DocumentServerTest, HiddenEntriesAndTheProgramsOwnFilesAreNeverServed) {
    folder_.Write("www/.secret", "x");
    folder_.Write("www/.git/config", "x");
    folder_.Write("quorvane.ini", "[HomePage]\nRootDirectory=.\n");
    EXPECT_EQ(Status(Serve("/", ".secret")), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(Status(Serve("/.git", "config.x")), "HTTP/1.1 404 Not Found");
    folder_.Write("dirs.lst", "");
    UseSettings("[HomePage]\nRootDirectory=.\n");
    EXPECT_EQ(Status(Serve("/", "quorvane.ini")), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(Status(Serve("/", "users.lst")), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(Status(Serve("/www/../", "dirs.lst")), "HTTP/1.1 404 Not Found");
}

TEST_F(DocumentServerTest, SecureSiteChallengesEveryFolderBeforeLookingAtTheDisk) {
    folder_.Write("www/sub/page.txt", "inside");
    UseSettings("[HomePage]\nRootDirectory=www\nSecure=1\n");
    const Reply challenge = Serve("/sub", "page.txt");
    EXPECT_EQ(challenge.head,
              "HTTP/1.0 401 Unauthorized\r\nServer: Quorvane2000\r\n"
              "WWW-Authenticate: Basic realm=\"/sub/\"\r\nConnection: close\r\n\r\n");
    EXPECT_TRUE(testing::BodyText(challenge).empty());
    EXPECT_EQ(Status(Serve("/missing", "x.txt")), "HTTP/1.0 401 Unauthorized");
    EXPECT_EQ(Status(Serve("/sub", "page.txt", "Basic Ym9iOndyb25n")), "HTTP/1.0 401 Unauthorized");
    EXPECT_EQ(testing::BodyText(Serve("/sub", "page.txt", std::string(kBobSecret))), "inside");
    std::filesystem::remove(folder_.Path() / "dirs.lst");
    EXPECT_EQ(Status(Serve("/sub", "page.txt")), "HTTP/1.0 401 Unauthorized");
}

TEST_F(DocumentServerTest, OnlyAnExactYesMakesARecordSecure) {
    folder_.Write("dirs.lst",
                  "\"/private/\",\"p\",\"yes\",\"No\",\"No\"\r\n"
                  "\"/safe/\",\"p\",\"Yes\",\"No\",\"No\"\r\n");
    folder_.Write("p/a.txt", "a");
    EXPECT_EQ(testing::BodyText(Serve("/private", "a.txt")), "a");
    EXPECT_NE(Serve("/safe", "a.txt").head.find("realm=\"/safe/\""), std::string::npos);
}

TEST_F(DocumentServerTest, ExpiresLineFollowsTheSettings) {
    folder_.Write("www/a.txt", "a");
    EXPECT_EQ(Serve("/", "a.txt").head.find("Expires:"), std::string::npos);
    UseSettings(
        "[HomePage]\nRootDirectory=www\n[Expire]\nContentExpires=1\nInterval=After\n"
        "Duration=2\nIntervalType=Weeks\n");
    EXPECT_NE(Serve("/", "a.txt").head.find("Expires: Sun, 15 Mar 2026 09:00:00 GMT\r\n"),
              std::string::npos);
}

TEST_F(DocumentServerTest, ListingShowsFilesSortedEscapedAndLinkedOnce) {
    UseSettings("[HomePage]\nRootDirectory=www\n[Documents]\nDirectoryBrowsing=1\n");
    folder_.Write("www/list/b file.txt", "12345");
    folder_.Write("www/list/A&<x>.txt", "");
    folder_.Write("www/list/.hidden", "");
    folder_.Write("www/list/sub/inner.txt", "");
    const auto stamp = [&](const char* name) {
        const auto path = folder_.Path() / "www/list" / name;
        std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now());
    };
    stamp("b file.txt");
    const Reply reply = Serve("/list", "Default");
    const std::string body = testing::BodyText(reply);
    EXPECT_EQ(reply.head.find("Expires:"), std::string::npos);
    EXPECT_NE(body.find("<title>Directory Listing Of - /list/</title>\r\n<h1>desk - /list/</h1>"),
              std::string::npos);
    const size_t first = body.find("<a href=\"/list/A%26%3Cx%3E.txt\">A&amp;&lt;x&gt;.txt</a>");
    const size_t second = body.find("<a href=\"/list/b%20file.txt\">b file.txt</a>");
    EXPECT_NE(first, std::string::npos);
    EXPECT_NE(second, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_NE(body.find("<TD> 5</TD>"), std::string::npos);
    EXPECT_EQ(body.find("hidden"), std::string::npos);
    EXPECT_EQ(body.find("inner"), std::string::npos);
    EXPECT_EQ(body.find("sub"), std::string::npos);

    std::filesystem::create_directories(folder_.Path() / "www/empty");
    EXPECT_NE(testing::BodyText(Serve("/empty", "Default"))
                  .find("<table border=\"0\">\r\n</Table>\r\n<p>\r\n<hr>\r\n</html>\r\n"),
              std::string::npos);

    folder_.Write("www/r.txt", "");
    folder_.Write("default.lst", "");
    EXPECT_NE(testing::BodyText(Serve("/", "Default")).find("<a href=\"r.txt\">r.txt</a>"),
              std::string::npos);
}

TEST(RedirectPage, ReadsAsTheOldPageButAnswers302) {
    const Reply reply =
        SendRedirectPage("http://example.org/", sys_days{year{2026} / March / 1} + hours(9));
    EXPECT_EQ(testing::WireText(reply),
              "HTTP/1.1 302 Found\r\nServer: Quorvane2000\r\nLocation: http://example.org/\r\n"
              "Content-Type: text/html\r\nAccept-Ranges: bytes\r\nContent-Length: 98\r\n"
              "Expires: Sun, 1 Mar 2026 09:00:00 GMT\r\nConnection: close\r\n\r\n"
              "<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV='REFRESH' CONTENT='1; "
              "URL=http://example.org/'></HEAD>\r\n</HTML>\r\n");
}

TEST(NamesHiddenEntry, AnySegmentStartingWithADot) {
    EXPECT_TRUE(NamesHiddenEntry("/a/.b/c"));
    EXPECT_TRUE(NamesHiddenEntry(".x"));
    EXPECT_FALSE(NamesHiddenEntry("/a/b.c/d.e"));
    EXPECT_FALSE(NamesHiddenEntry("/"));
}

}  // namespace
}  // namespace quorvane::responses
