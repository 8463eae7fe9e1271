// Real HTTP clients against the sample site: what browsers and tools expect of
// the server's replies, checked by the tools themselves.
#include <gtest/gtest.h>

#include "server/server_control.h"
#include "support/child_process.h"
#include "support/recording_observer.h"
#include "support/temp_folder.h"

namespace quorvane {
namespace {

using testing::RunCommand;

class RealClientsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::copy(QUORVANE_DIST_PATH, folder_.Path(),
                              std::filesystem::copy_options::recursive);
        control_.emplace(folder_.Program(), observer_,
                         server::ServerControl::Options{"127.0.0.1", 0});
        ASSERT_TRUE(control_->Startup().settingsFound);
        ASSERT_TRUE(control_->ToggleServer());
        url_ = "http://127.0.0.1:" + std::to_string(control_->Port());
    }

    testing::TempFolder folder_;
    testing::TempFolder downloads_;
    testing::RecordingObserver observer_;
    std::optional<server::ServerControl> control_;
    std::string url_;
};

// The sample's own pages, as curl sees them.
TEST_F(RealClientsTest, CurlSeesTheSamplesErrorPageAndFooter) {
    const auto page = RunCommand("curl -s " + url_ + "/no-such-page.htm").output;
    EXPECT_NE(page.find("The page you asked for is not on this site."), std::string::npos);
    // The footer of the sample settings sits before the closing tag.
    const auto home = RunCommand("curl -s " + url_ + "/").output;
    EXPECT_NE(home.find("<p class=\"footer\">Served by Quorvane2000</p></html>"),
              std::string::npos);
}

TEST_F(RealClientsTest, TheSampleFormWorksLikeInABrowser) {
    const auto form = RunCommand("curl -s " + url_ + "/cgi-bin/form.pl").output;
    EXPECT_NE(form.find("<form method=\"post\" action=\"/cgi-bin/form.pl\">"), std::string::npos);
    const auto signed_ =
        RunCommand("curl -s --data-urlencode \"name=Ada & Bob\" " + url_ + "/cgi-bin/form.pl");
    EXPECT_NE(signed_.output.find("Hello, Ada &amp; Bob! Thanks for signing."), std::string::npos)
        << signed_.output;
}

TEST_F(RealClientsTest, WgetMirrorsTheSiteByFollowingItsLinks) {
    const auto result = RunCommand("cd " + downloads_.Path().string() +
                                   " && wget -q -r -l 3 -nH --no-parent " + url_ + "/");
    // 6: the secure folder refused wget, which has no credentials; that
    // outranks the 404 of the sample's deliberately broken link.
    EXPECT_EQ(result.status, 6) << result.output;
    for (const char* file : {"files/readme.txt", "files/notes & ideas.txt", "style.css"}) {
        EXPECT_EQ(downloads_.Read(file), folder_.Read(std::string("www/") + file)) << file;
    }
    EXPECT_NE(downloads_.Read("docs/index.html").find("<h1>Documents</h1>"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(downloads_.Path() / "private/index.htm"));

    // A folder tree comes whole through its listings, odd names and all.
    const char* tree[] = {"tree/a/b/deep.txt", "tree/x y/z&1 #2.txt", "tree/caf\xC3\xA9/+%.txt",
                          "tree/\xE6\x97\xA5\xE6\x9C\xAC/q?.txt"};
    for (const char* file : tree) {
        folder_.Write(std::string("www/") + file, std::string("content of ") + file);
    }
    const auto mirrored = RunCommand(
        "cd " + downloads_.Path().string() +
        " && wget -q -r -l 5 -nH --no-parent --restrict-file-names=nocontrol " + url_ + "/tree/");
    EXPECT_EQ(mirrored.status, 0) << mirrored.output;
    for (const char* file : tree) {
        EXPECT_EQ(downloads_.Read(file), std::string("content of ") + file) << file;
    }
}

TEST_F(RealClientsTest, PythonHttpClientKeepsOneConnectionForEveryKindOfReply) {
    // http.client raises on a malformed status line, head or length, and
    // opens a new connection whenever the server closed the old one.
    const std::string script =
        "import http.client, base64, sys\n"
        "port = int(sys.argv[1])\n"
        "cases = [('GET', '/', {}, 200), ('HEAD', '/style.css', {}, 200),\n"
        "         ('GET', '/files/', {}, 200), ('GET', '/nothing.htm', {}, 404),\n"
        "         ('GET', '/private/', {}, 401), ('POST', '/', {'Content-Length': '3'}, 200),\n"
        "         ('GET', '/private/', {'Authorization': 'Basic ' + "
        "base64.b64encode(b'guest:quorvane').decode()}, 200),\n"
        "         ('GET', '/docs', {}, 301), ('GET', '/files/readme.txt', {'Range': 'bytes=0-3'}, "
        "206)]\n"
        "c = http.client.HTTPConnection('127.0.0.1', port, timeout=10)\n"
        "first = None\n"
        "for i in range(50):\n"
        "    method, path, headers, expected = cases[i % len(cases)]\n"
        "    c.request(method, path, body=b'a=1' if method == 'POST' else None, headers=headers)\n"
        "    r = c.getresponse()\n"
        "    body = r.read()\n"
        "    assert r.status == expected, (method, path, r.status)\n"
        "    if method != 'HEAD':\n"
        "        assert len(body) == int(r.getheader('Content-Length')), path\n"
        "    first = first or c.sock\n"
        "    assert c.sock is first, 'a new connection for request %d' % i\n"
        "c.request('PATCH', '/')\n"
        "r = c.getresponse()\n"
        "r.read()\n"
        "assert r.status == 501 and r.getheader('Connection') == 'close'\n"
        "print('50 replies on one connection')\n";
    const auto file = folder_.Write("check.py", script);
    const auto result =
        RunCommand("python3 " + file.string() + " " + std::to_string(control_->Port()));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "50 replies on one connection\n");
}

TEST_F(RealClientsTest, InterruptedDownloadsResume) {
    std::string big(50 * 1024 * 1024, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>((i * 7919) >> 5);
    }
    folder_.Write("www/files/big.bin", big);
    // The half already here is marked, so a download started over would show.
    std::string half = big.substr(0, big.size() / 2);
    half[0] = static_cast<char>(~half[0]);
    const std::string resumed = half + big.substr(half.size());
    const std::string target = downloads_.Path().string();
    downloads_.Write("curl.bin", half);
    downloads_.Write("big.bin", half);
    EXPECT_EQ(
        RunCommand("curl -s -C - -o " + target + "/curl.bin " + url_ + "/files/big.bin").status, 0);
    EXPECT_TRUE(downloads_.Read("curl.bin") == resumed) << "curl's resumed copy differs";
    EXPECT_EQ(RunCommand("cd " + target + " && wget -q -c " + url_ + "/files/big.bin").status, 0);
    EXPECT_TRUE(downloads_.Read("big.bin") == resumed) << "wget's resumed copy differs";
}

TEST_F(RealClientsTest, ABrowsersSecondLoadOfAnUnchangedPageTransfersNoBody) {
    // Written just now, the page is not fresh for the browser's cache: the
    // second load asks again and is told its copy is current.
    folder_.Write("www/fresh.htm", "<html><body>fresh</body></html>");
    const std::string profile = (downloads_.Path() / "profile").string();
    for (int load = 1; load <= 2; ++load) {
        const auto result = RunCommand(
            "timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic "
            "--no-first-run --disable-background-networking --disable-component-update "
            "--disable-sync --user-data-dir=" +
            profile + " --log-net-log=" + downloads_.Path().string() + "/net" +
            std::to_string(load) + ".json --dump-dom " + url_ + "/fresh.htm 2>/dev/null");
        EXPECT_NE(result.output.find("fresh"), std::string::npos) << "load " << load;
    }
    EXPECT_NE(downloads_.Read("net1.json").find("\"HTTP/1.1 200 OK\""), std::string::npos);
    EXPECT_NE(downloads_.Read("net2.json").find("\"HTTP/1.1 304 Not Modified\""),
              std::string::npos);
    control_->StopListener();  // flushes the access log
    const std::string records = folder_.Read("quorvane.log");
    size_t loads = 0;
    for (size_t at = records.find("GET /fresh.htm "); at != std::string::npos;
         at = records.find("GET /fresh.htm ", at + 1)) {
        ++loads;
    }
    EXPECT_EQ(loads, 2u) << records;
}

}  // namespace
}  // namespace quorvane
