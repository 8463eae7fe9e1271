#include "responses/document_server.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/reply_text.h"
#include "support/test_site.h"

namespace quorvane::responses {
namespace {

using namespace std::chrono;

constexpr std::string_view kBobSecret = "Basic Ym9iOnNlY3JldA==";  // bob:secret

// Documents, default documents, listings, content types, footer and expiry,
// asked for through the whole road of a request.
class DocumentServerTest : public ::testing::Test, public testing::TestSite {
  protected:
    DocumentServerTest() {
        folder.WriteDirs({{"/", "www"}});
        folder.WriteUsers({{"bob", "secret"}});
        folder.WriteSettings({{"HomePage", "RootDirectory", "www"}});
        now = sys_days{year{2026} / March / 1} + hours(9);
    }

    http::Response Serve(std::string_view path, std::string_view authorization = "") {
        return Get(path, authorization.empty()
                             ? std::string()
                             : "Authorization: " + std::string(authorization) + "\r\n");
    }
    http::Response Range(std::string_view path, std::string_view range) {
        return Get(path, "Range: " + std::string(range) + "\r\n");
    }
};

TEST_F(DocumentServerTest, DefaultDocumentIsTheFirstListedThatExists) {
    folder.Write("www/default.htm", "second choice");
    folder.Write("www/index.html", "first choice");
    folder.Write("www/README", "no dot, still a file");
    const http::Response reply = Serve("/");
    EXPECT_EQ(testing::BodyText(reply), "first choice");
    EXPECT_TRUE(std::holds_alternative<http::FileBody>(reply.body))
        << "a page without footer is streamed from the file";
    EXPECT_EQ(testing::BodyText(Serve("/README")), "no dot, still a file");
}

TEST_F(DocumentServerTest, ContentTypesComeFromTheMimeListThenTheSystemThenTheBytes) {
    folder.Write("www/PAGE.HTM", "<html></html>");
    folder.Write("www/sound.wav", "RIFF");
    folder.Write("www/jquery.min.js", "js");
    folder.Write("www/photo.jpg", "jpeg");
    folder.Write("www/notes", "plain words, caf\xC3\xA9");
    folder.Write("www/blob.qvbin", std::string("\x7f"
                                               "ELF\0\0",
                                               6));
    const auto type = [&](std::string_view path) { return Serve(path).Field("Content-Type"); };
    folder.Write("mime.lst",
                 "\"htm,text/html\"\r\n\"wav,audio,x-wav\"\r\n\"broken\"\r\n"
                 "\"js,text/javascript\"\r\n\"min.js,text/minified\"\r\n\"JPG,image/jpeg\"\r\n");
    // Extensions match whatever their letter case, on either side.
    EXPECT_EQ(type("/PAGE.HTM"), "text/html");
    EXPECT_EQ(type("/photo.jpg"), "image/jpeg");
    EXPECT_EQ(type("/sound.wav"), "audio,x-wav");
    // The text after the first dot wins over the last dot when both are listed.
    EXPECT_EQ(type("/jquery.min.js"), "text/minified");
    folder.Write("mime.lst", "\"js,text/javascript\"\r\n");
    EXPECT_EQ(type("/jquery.min.js"), "text/javascript");
    // Unlisted: the system's table, else what the file holds.
    EXPECT_EQ(type("/sound.wav"), "audio/x-wav");
    EXPECT_EQ(type("/notes"), "text/plain");
    EXPECT_EQ(type("/blob.qvbin"), "application/octet-stream");
}

TEST_F(DocumentServerTest, FooterGoesBeforeTheFirstClosingHtmlTagOfHtmlPagesOnly) {
    folder.Write("www/a.htm", "<p>x</p></HTML>tail</html>");
    folder.Write("www/b.htm", "<p>no closing tag</p>");
    folder.Write("www/c.txt", "text</html>");
    folder.WriteSettings({{"HomePage", "RootDirectory", "www"},
                          {"Documents", "EnableFooter", "1"},
                          {"Documents", "FooterHTML", "<i>f</i>"}});
    EXPECT_EQ(testing::BodyText(Serve("/a.htm")), "<p>x</p><i>f</i></HTML>tail</html>");
    EXPECT_EQ(testing::BodyText(Serve("/b.htm")), "<p>no closing tag</p>");
    EXPECT_EQ(testing::BodyText(Serve("/c.txt")), "text</html>");

    folder.WriteSettings(
        {{"HomePage", "RootDirectory", "www"}, {"Documents", "EnableFooter", "1"}});
    EXPECT_EQ(testing::BodyText(Serve("/a.htm")),
              "<p>x</p><p><b>Served By Quorvane2000</b></HTML>tail</html>");
    folder.WriteSettings(
        {{"HomePage", "RootDirectory", "www"}, {"Documents", "EnableFooter", "2"}});
    EXPECT_EQ(testing::BodyText(Serve("/a.htm")), "<p>x</p></HTML>tail</html>");
}

TEST_F(DocumentServerTest, MissingThingsAre404) {
    folder.Write("www/folder/file.txt", "x");
    folder.Write("www/folder.d/file.txt", "x");
    EXPECT_EQ(Serve("/absent.htm").code, 404);
    EXPECT_EQ(Serve("/folder.d").code, 301);
    EXPECT_EQ(Serve("/folder.d/").code, 404);
    EXPECT_EQ(Serve("/nowhere/file.txt").code, 404);
    EXPECT_EQ(Serve("/folder/").code, 404);  // browsing absent
    folder.WriteSettings(
        {{"HomePage", "RootDirectory", "www"}, {"Documents", "DirectoryBrowsing", "2"}});
    EXPECT_EQ(Serve("/folder/").code, 404);
}

TEST_F(DocumentServerTest, SecureSiteChallengesEveryFolderBeforeLookingAtTheDisk) {
    folder.Write("www/sub/page.txt", "inside");
    folder.WriteSettings({{"HomePage", "RootDirectory", "www"}, {"HomePage", "Secure", "1"}});
    const http::Response challenge = Serve("/sub/page.txt");
    EXPECT_EQ(challenge.code, 401);
    EXPECT_EQ(challenge.Field("WWW-Authenticate"), "Basic realm=\"/sub/\"");
    // The configured 401 page goes with the challenge.
    folder.Write("401.htm", "<html>sign in</html>");
    EXPECT_EQ(testing::BodyText(Serve("/sub/page.txt")), "<html>sign in</html>");
    EXPECT_EQ(Serve("/missing/x.txt").code, 401);
    EXPECT_EQ(Serve("/sub/page.txt", "Basic Ym9iOndyb25n").code, 401);
    EXPECT_EQ(testing::BodyText(Serve("/sub/page.txt", kBobSecret)), "inside");
    std::filesystem::remove(folder.Path() / "dirs.lst");
    EXPECT_EQ(Serve("/sub/page.txt").code, 401);
}

TEST_F(DocumentServerTest, OnlyAnExactYesMakesARecordSecure) {
    folder.Write("dirs.lst",
                 "\"/open/\",\"p\",\"yes\",\"No\",\"No\"\r\n"
                 "\"/safe/\",\"q\",\"Yes\",\"No\",\"No\"\r\n");
    folder.Write("p/a.txt", "a");
    folder.Write("q/a.txt", "a");
    EXPECT_EQ(testing::BodyText(Serve("/open/a.txt")), "a");
    EXPECT_EQ(Serve("/safe/a.txt").Field("WWW-Authenticate"), "Basic realm=\"/safe/\"");
}

TEST_F(DocumentServerTest, ExpiresLineFollowsTheSettings) {
    folder.Write("www/a.txt", "a");
    EXPECT_FALSE(Serve("/a.txt").fields.Has("Expires"));
    folder.WriteSettings({{"HomePage", "RootDirectory", "www"},
                          {"Expire", "ContentExpires", "1"},
                          {"Expire", "Interval", "After"},
                          {"Expire", "Duration", "2"},
                          {"Expire", "IntervalType", "Weeks"}});
    EXPECT_EQ(Serve("/a.txt").Field("Expires"), "Sun, 15 Mar 2026 09:00:00 GMT");
}

TEST_F(DocumentServerTest, ListingShowsFoldersThenFilesEscapedAndLinked) {
    folder.WriteSettings(
        {{"HomePage", "RootDirectory", "www"}, {"Documents", "DirectoryBrowsing", "1"}});
    folder.Write("www/list/b file.txt", "12345");
    folder.Write("www/list/A&<x>.txt", "");
    folder.Write("www/list/.hidden", "");
    folder.Write("www/list/sub #1/inner.txt", "");
    const std::string body = testing::BodyText(Serve("/list/"));
    const size_t parent = body.find("<a href=\"/\">Parent Directory</a>");
    const size_t folderLink = body.find("<a href=\"/list/sub%20%231/\">sub #1/</a>");
    const size_t first = body.find("<a href=\"/list/A%26%3Cx%3E.txt\">A&amp;&lt;x&gt;.txt</a>");
    const size_t second = body.find("<a href=\"/list/b%20file.txt\">b file.txt</a>");
    EXPECT_LT(parent, folderLink);
    EXPECT_LT(folderLink, first);
    EXPECT_LT(first, second);
    EXPECT_NE(second, std::string::npos);
    EXPECT_NE(body.find("<TD> 5</TD>"), std::string::npos);
    EXPECT_EQ(body.find("hidden"), std::string::npos);
    EXPECT_EQ(body.find("inner"), std::string::npos);

    folder.Write("www/r.txt", "");
    folder.Write("default.lst", "");
    const std::string root = testing::BodyText(Serve("/"));
    EXPECT_NE(root.find("<a href=\"r.txt\">r.txt</a>"), std::string::npos);
    EXPECT_EQ(root.find("Parent Directory"), std::string::npos) << "the site's root has no parent";
}

TEST_F(DocumentServerTest, AListingAskedForAgainShowsTheFolderAsItIsNow) {
    folder.WriteSettings(
        {{"HomePage", "RootDirectory", "www"}, {"Documents", "DirectoryBrowsing", "1"}});
    folder.Write("www/list/grows.txt", "1");
    folder.Write("www/list/other.txt", "");
    EXPECT_NE(testing::BodyText(Serve("/list/")).find("<TD> 1</TD>"), std::string::npos);
    // Written in place: the folder's own times stay, the file's size moves.
    {
        std::ofstream out(folder.Path() / "www/list/grows.txt", std::ios::app);
        out << "234";
    }
    std::string body = testing::BodyText(Serve("/list/"));
    EXPECT_NE(body.find("<TD> 4</TD>"), std::string::npos);
    folder.Write("www/list/new.txt", "");
    std::filesystem::remove(folder.Path() / "www/list/other.txt");
    body = testing::BodyText(Serve("/list/"));
    EXPECT_NE(body.find("new.txt"), std::string::npos);
    EXPECT_EQ(body.find("other.txt"), std::string::npos);
}

TEST_F(DocumentServerTest, RangesOfTheFinalBody) {
    folder.Write("www/digits.txt", "0123456789");
    EXPECT_EQ(Range("/digits.txt", "bytes=5-1").code, 200);  // invalid: ignored
    // With the footer, ranges are of the page as sent, footer included.
    folder.Write("www/page.htm", "<p>x</p></html>");
    folder.WriteSettings({{"HomePage", "RootDirectory", "www"},
                          {"Documents", "EnableFooter", "1"},
                          {"Documents", "FooterHTML", "<i>f</i>"}});
    const std::string sent = "<p>x</p><i>f</i></html>";
    for (const auto& [range, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"bytes=8-15", "<i>f</i>"},
             {"bytes=0-", sent},
             {"bytes=6-10", sent.substr(6, 5)},
             {"bytes=-9", sent.substr(sent.size() - 9)}}) {
        const http::Response reply = Range("/page.htm", range);
        EXPECT_EQ(testing::BodyText(reply), bytes) << range;
        EXPECT_TRUE(std::holds_alternative<http::FileBody>(reply.body))
            << range << ": the page itself is never read into memory";
    }
    const http::Response footed = Range("/page.htm", "bytes=0-1,7-9");
    EXPECT_NE(testing::BodyText(footed).find("Content-Range: bytes 7-9/23\r\n\r\n><i\r\n"),
              std::string::npos);
    EXPECT_EQ(footed.BodyLength(), testing::BodyText(footed).size());
}

TEST_F(DocumentServerTest, ACurrentCopyIsRevalidatedWithoutItsBody) {
    folder.Write("www/a.htm", "<html>a</html>");
    const http::Response whole = Serve("/a.htm");
    const std::string etag = whole.Field("ETag").value_or("");
    const std::string modified = whole.Field("Last-Modified").value_or("");
    const http::Response same = Get("/a.htm", "If-None-Match: \"other\", " + etag + "\r\n");
    EXPECT_EQ(same.status(), http::Status::kNotModified);
    EXPECT_TRUE(std::holds_alternative<http::NoBody>(same.body));
    EXPECT_EQ(same.Field("ETag"), etag);
    EXPECT_EQ(Get("/a.htm", "If-Modified-Since: " + modified + "\r\n").code, 304);
    // The footer changes the bytes sent, and with them the tag.
    folder.WriteSettings(
        {{"HomePage", "RootDirectory", "www"}, {"Documents", "EnableFooter", "1"}});
    EXPECT_EQ(Get("/a.htm", "If-None-Match: " + etag + "\r\n").code, 200);
}

}  // namespace
}  // namespace quorvane::responses
