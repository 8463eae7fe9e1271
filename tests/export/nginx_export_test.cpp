#include <sys/stat.h>

#include <gtest/gtest.h>

#include "config/setting_keys.h"
#include "export/export_writer.h"
#include "export/nginx_syntax.h"
#include "support/temp_folder.h"

namespace quorvane::exporting {
namespace {

namespace fs = std::filesystem;

TEST(NginxSyntaxTest, QuotesWhatNginxCanHoldAndRefusesTheRest) {
    struct Case {
        std::string_view text;
        std::optional<std::string> quoted;
        std::optional<std::string> pattern;
    } cases[] = {
        {"/my docs/", "\"/my docs/\"", "/my\\ docs/"},
        {"a;b{c}", "\"a;b{c}\"", "a\\;b\\{c\\}"},
        {"say \"hi\" \\o/", "\"say \\\"hi\\\" \\\\o/\"", "say\\ \\\"hi\\\"\\ \\\\o/"},
        {"/cgi-bin/a.pl", "\"/cgi-bin/a.pl\"", "/cgi\\-bin/a\\.pl"},
        {"cost $5", std::nullopt, std::nullopt},
        {"two\nlines", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Quoted(c.text), c.quoted) << c.text;
        EXPECT_EQ(RegexLiteral(c.text), c.pattern) << c.text;
    }
}

TEST(NginxSyntaxTest, TakesWholeAddressesOnly) {
    for (std::string_view address : {"127.0.0.2", "::1", "2001:DB8::7"}) {
        EXPECT_TRUE(IsAddressRule(address)) << address;
    }
    for (std::string_view entry : {"", "all", "10.0.0.0/8", "1.2.3.4; allow all", "host.lan"}) {
        EXPECT_FALSE(IsAddressRule(entry)) << entry;
    }
}

// A program folder serving one secure folder, its users in clear.
class ExportSiteTest : public ::testing::Test {
  protected:
    ExportSiteTest() {
        folder.WriteSettings({config::Write(config::setting::kRootDirectory, "www")});
        folder.WriteDirs({{.name = "/", .folder = "www"},
                          {.name = "/private/", .folder = "www/private", .secure = true}});
        folder.WriteUsers({{"guest", "quorvane"}});
        folder.Write("www/private/index.htm", "<html></html>");
    }
    WriteOutcome Export(bool force = false) { return ExportSite(folder.Program(), target, force); }

    testing::TempFolder folder;
    fs::path target = folder.Path() / "out";
};

TEST_F(ExportSiteTest, RefusesAFolderHoldingOtherFilesUnlessForced) {
    folder.Write("out/notes.txt", "mine");
    WriteOutcome refused = Export();
    EXPECT_NE(refused.problem.find("holds other files"), std::string::npos) << refused.problem;
    EXPECT_TRUE(refused.written.empty());
    EXPECT_FALSE(fs::exists(target / "nginx.conf"));

    WriteOutcome forced = Export(true);
    EXPECT_EQ(forced.problem, "");
    EXPECT_TRUE(fs::exists(target / "nginx.conf"));
    EXPECT_EQ(folder.Read("out/notes.txt"), "mine");
    EXPECT_NE(DescribeOutcome(forced).find("Wrote " + (target / "htpasswd").string()),
              std::string::npos);
}

TEST_F(ExportSiteTest, HashesClearPasswordsIntoAPrivateFile) {
    ASSERT_EQ(Export().problem, "");
    const std::string passwords = folder.Read("out/htpasswd");
    EXPECT_TRUE(passwords.starts_with("guest:$y$")) << passwords;
    EXPECT_EQ(passwords.find("quorvane"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat((target / "htpasswd").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(ExportSiteTest, RefusesWhatNginxCannotHoldAndAFolderInsideTheSite) {
    folder.WriteSettings({config::Write(config::setting::kRootDirectory, "www"),
                          config::Write(config::setting::kEnableFooter, "1"),
                          config::Write(config::setting::kFooterHtml, "<p>$5 a page</p>")});
    EXPECT_NE(Export().problem.find("$5 a page"), std::string::npos);
    EXPECT_FALSE(fs::exists(target));

    folder.WriteSettings({config::Write(config::setting::kRootDirectory, "www")});
    target = folder.Path() / "www" / "export";
    EXPECT_NE(Export().problem.find("password files would be served"), std::string::npos);
}

TEST_F(ExportSiteTest, ListensWhereTheServerBinds) {
    struct Case {
        std::string_view listen;
        std::vector<std::string> lines;
    } cases[] = {
        {"Network", {"listen 8080;", "listen [::]:8080;"}},
        {" local ", {"listen 127.0.0.1:8080;", "listen [::1]:8080;"}},
        {"192.0.2.7", {"listen 192.0.2.7:8080;"}},
        {"fe80::1", {"listen [fe80::1]:8080;"}},
    };
    for (const Case& c : cases) {
        folder.WriteSettings({config::Write(config::setting::kRootDirectory, "www"),
                              config::Write(config::setting::kPort, "8080"),
                              config::Write(config::setting::kListen, std::string(c.listen))});
        ASSERT_EQ(Export(true).problem, "");
        const std::string conf = folder.Read("out/quorvane.conf");
        size_t listens = 0;
        for (size_t at = conf.find("listen "); at != std::string::npos;
             at = conf.find("listen ", at + 1)) {
            ++listens;
        }
        EXPECT_EQ(listens, c.lines.size()) << c.listen;
        for (const std::string& line : c.lines) {
            EXPECT_NE(conf.find("    " + line + "\n"), std::string::npos) << c.listen << conf;
        }
    }
}

}  // namespace
}  // namespace quorvane::exporting
