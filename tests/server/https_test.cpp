// HTTPS as a user turns it on: the settings, the certificate made for this
// machine or given, real clients checking it, and the move of plain
// requests to HTTPS.
#include <gtest/gtest.h>

#include "server/server_control.h"
#include "support/child_process.h"
#include "support/test_site.h"

namespace quorvane::server {
namespace {

using testing::RawClient;
using testing::RunCommand;

class HttpsTest : public ::testing::Test {
  protected:
    HttpsTest() {
        folder_.Write("www/index.htm", "home");
        folder_.Write("www/private/index.htm", "PRIVATE");
        folder_.Write("default.lst", "\"index.htm\"\r\n");
        folder_.WriteUsers({{"guest", "pw"}});
        folder_.WriteDirs({{"/", "www"},
                           {"/private/", "www/private", true},
                           {"/cgi-bin/", "cgi-bin", false, false, true}});
        folder_.WriteScript(
            "cgi-bin/env.exe",
            "printf 'Content-Type: text/plain\\r\\n\\r\\n%s %s' \"$HTTPS\" \"$SERVER_PORT\"\n");
    }

    // HTTPS on (its port chosen freely), with these further keys of [Server].
    ServerControl& Start(const std::vector<std::pair<std::string, std::string>>& server = {}) {
        folder_.WriteSettings({{"Server", "HttpsPort", "1"},
                               {"HomePage", "RootDirectory", "www"},
                               {"CGI", "Enabled", "1"}});
        for (const auto& [key, value] : server) {
            config::WriteSetting(folder_.Program().SettingsPath(), "Server", key, value);
        }
        control_.emplace(folder_.Program(), observer_, ServerControl::Options{"127.0.0.1", 0, 0});
        control_->Startup();
        control_->ToggleServer();
        return *control_;
    }
    std::string Path(const char* name) const { return (folder_.Path() / name).string(); }
    std::string Url(std::string_view host, std::string_view path) const {
        return "https://" + std::string(host) + ":" + std::to_string(control_->HttpsPort()) +
               std::string(path);
    }
    std::string Curl(const std::string& options) {
        return RunCommand("curl -sS " + options + " 2>&1", 20).output;
    }
    std::string OpenSslFingerprint(const char* file) {
        const std::string out =
            RunCommand("openssl x509 -noout -fingerprint -sha256 -in " + Path(file)).output;
        return out.substr(out.find('=') + 1, out.find('\n') - out.find('=') - 1);
    }

    testing::TempFolder folder_;
    testing::RecordingObserver observer_;
    std::optional<ServerControl> control_;
};

TEST_F(HttpsTest, TheMadeCertificateServesRealClientsAndItsFingerprintIsShown) {
    ServerControl& control = Start();
    ASSERT_TRUE(control.IsListening()) << observer_.Log();
    ASSERT_NE(control.HttpsPort(), 0);
    const std::string fingerprint = OpenSslFingerprint("https-certificate.pem");
    EXPECT_EQ(control.Fingerprint(), fingerprint);
    EXPECT_NE(
        observer_.Log().find("Listening for HTTPS on port: " + std::to_string(control.HttpsPort()) +
                             "\r\nHTTPS certificate SHA-256 fingerprint: " + fingerprint +
                             "\r\nQuorvane Ready...\r\n"),
        std::string::npos)
        << observer_.Log();
    EXPECT_NE(observer_.Log().find("Made a self-signed certificate for HTTPS: " +
                                   Path("https-certificate.pem")),
              std::string::npos);
    EXPECT_EQ(testing::ModeOf(Path("https-key.pem")), 0600u);
    EXPECT_EQ(control.ListenSummary(),
              "http://127.0.0.1:" + std::to_string(control.Port()) + " and https://127.0.0.1:" +
                  std::to_string(control.HttpsPort()) + " (this computer only)");

    // curl checks the certificate against the file, by address and by name.
    const std::string ca = "--cacert " + Path("https-certificate.pem") + " ";
    EXPECT_EQ(Curl(ca + Url("127.0.0.1", "/")), "home");
    EXPECT_EQ(Curl(ca + "--tlsv1.2 --tls-max 1.2 " + Url("localhost", "/")), "home");
    EXPECT_EQ(Curl(ca + Url("127.0.0.1", "/cgi-bin/env.exe")),
              "on " + std::to_string(control.HttpsPort()));
    EXPECT_EQ(Curl("--tlsv1.0 --tls-max 1.1 -k " + Url("127.0.0.1", "/")).find("home"),
              std::string::npos)
        << "TLS 1.0 and 1.1 are refused";
    // Plain HTTP goes on beside it.
    EXPECT_EQ(Curl("http://127.0.0.1:" + std::to_string(control.Port()) + "/"), "home");

    // The next start presents the same certificate; nothing is made again.
    control.ToggleServer();
    control.ToggleServer();
    ASSERT_TRUE(control.IsListening());
    EXPECT_EQ(control.Fingerprint(), fingerprint);
    EXPECT_EQ(observer_.Log().find("Made a self-signed"), std::string::npos);
}

TEST_F(HttpsTest, AGivenCertificateAndKeyAreServedAndAWrongKeyStopsTheStart) {
    ASSERT_EQ(RunCommand("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost "
                         "-addext subjectAltName=IP:127.0.0.1 -keyout " +
                         Path("given-key.pem") + " -out " + Path("given.pem") + " 2>&1")
                  .status,
              0);
    ServerControl& control =
        Start({{"CertificateFile", "given.pem"}, {"KeyFile", Path("given-key.pem")}});
    ASSERT_TRUE(control.IsListening()) << observer_.Log();
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "https-certificate.pem"));
    RawClient client(control.HttpsPort());
    ASSERT_TRUE(client.StartTls(Path("given.pem"), "127.0.0.1"));
    EXPECT_EQ(client.PeerFingerprint(), OpenSslFingerprint("given.pem"));
    EXPECT_EQ(control.Fingerprint(), client.PeerFingerprint());
    ASSERT_TRUE(client.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_TRUE(client.ReadReply().ends_with("home"));
    control.ToggleServer();

    // Another certificate's key: the start fails, saying which files, and
    // nothing listens, not even plain HTTP.
    ASSERT_EQ(RunCommand("openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out " +
                         Path("other-key.pem"))
                  .status,
              0);
    Start({{"CertificateFile", "given.pem"}, {"KeyFile", "other-key.pem"}, {"Port", "8080"}});
    EXPECT_FALSE(control_->IsListening());
    EXPECT_NE(observer_.Log().find(
                  "Quorvane could not listen on port 1: the key in " + Path("other-key.pem") +
                  " does not belong to the certificate in " + Path("given.pem") + "\r\n"),
              std::string::npos)
        << observer_.Log();
    EXPECT_NE(observer_.Failure().find("does not belong"), std::string::npos);

    Start({{"CertificateFile", "given.pem"}});
    EXPECT_FALSE(control_->IsListening());
    EXPECT_NE(observer_.Failure().find("give both a certificate file and a key file"),
              std::string::npos);
    folder_.WriteSettings({{"Server", "HttpsPort", "65536"}});
    EXPECT_FALSE(control_->ToggleServer());
    EXPECT_TRUE(observer_.Log().ends_with(
        "Quorvane could not listen on port 65536: not an HTTPS port number from 0 (off) to "
        "65535\r\n"));
}

TEST_F(HttpsTest, PlainRequestsAreSentToHttpsWhenSoSet) {
    ServerControl& control = Start({{"RedirectToHttps", "1"}});
    ASSERT_TRUE(control.IsListening()) << observer_.Log();
    const std::string https = std::to_string(control.HttpsPort());
    const std::string kClose = "Connection: close\r\n\r\n";
    const auto locationOf = [&](const std::string& request) {
        const std::string reply = testing::Exchange(control.Port(), request);
        EXPECT_EQ(testing::StatusOf(reply), "HTTP/1.1 307 Temporary Redirect") << request;
        const size_t at = reply.find("\r\nLocation: ");
        return at == std::string::npos
                   ? std::string()
                   : reply.substr(at + 12, reply.find("\r\n", at + 2) - at - 12);
    };
    const std::string host = control.Host().hostName;
    EXPECT_EQ(locationOf("GET /a%20b/c.htm?x=1&y HTTP/1.1\r\nHost: " + host + ":8080\r\n" + kClose),
              "https://" + host + ":" + https + "/a%20b/c.htm?x=1&y");
    EXPECT_EQ(locationOf("HEAD // HTTP/1.1\r\nHost: LOCALHOST\r\n" + kClose),
              "https://LOCALHOST:" + https + "/");
    // A Host that names another machine, or cannot be repeated safely, gives
    // way to the address the client reached.
    for (std::string_view other : {"desk.example:8080", "[2001:db8::5]:8080", "x\"><script>"}) {
        EXPECT_EQ(locationOf("GET / HTTP/1.1\r\nHost: " + std::string(other) + "\r\n" + kClose),
                  "https://127.0.0.1:" + https + "/")
            << other;
    }
    EXPECT_EQ(locationOf("POST /private/ HTTP/1.0\r\nContent-Length: 0\r\n\r\n"),
              "https://127.0.0.1:" + https + "/private/");
    // Over HTTPS the request is answered, with its credentials.
    const std::string ca = "--cacert " + Path("https-certificate.pem") + " ";
    EXPECT_EQ(Curl(ca + "-u guest:pw " + Url("127.0.0.1", "/private/")), "PRIVATE");
    // Following the move, a plain address ends up served over HTTPS.
    EXPECT_EQ(Curl(ca + "-L http://127.0.0.1:" + std::to_string(control.Port()) + "/"), "home");
}

}  // namespace
}  // namespace quorvane::server
