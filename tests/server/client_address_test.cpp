// Clients as the server knows them: an IPv4 client of a dual-stack listener
// by its plain IPv4 text, an IPv6 client by its canonical text, the same in
// the block list, the CGI-barred list, REMOTE_ADDR, the access log and the
// log view.
#include <gtest/gtest.h>

#include "support/test_site.h"

namespace quorvane::testing {
namespace {

class AddressedSite : public RunningSite {
  public:
    explicit AddressedSite(std::string address)
        : RunningSite(QuickTimeouts(), {{std::move(address)}, 0}) {
        folder.WriteSettings({{"HomePage", "RootDirectory", "www"}, {"CGI", "Enabled", "1"}});
        folder.WriteDirs({{"/", "www"}, {"/cgi-bin/", "cgi-bin", false, false, true}});
        folder.Write("www/index.htm", "home");
        folder.WriteScript("cgi-bin/addr.exe",
                           "printf 'Content-Type: text/plain\\r\\n\\r\\n%s' \"$REMOTE_ADDR\"\n");
    }

    // A client connecting to `server` is `seen` everywhere, and each typed
    // entry names it in both lists.
    void ExpectSeenAs(std::string_view server, const std::string& seen,
                      std::initializer_list<std::string_view> entries) {
        EXPECT_EQ(BodyOf(Exchange(Port(), "GET /cgi-bin/addr.exe HTTP/1.0\r\n\r\n", server)), seen);
        EXPECT_TRUE(observer.WaitForLog("Connection By: " + seen + "\r\n")) << observer.Log();
        log.Flush();
        EXPECT_NE(folder.Read("quorvane.log").find(seen + ",["), std::string::npos)
            << folder.Read("quorvane.log");
        for (std::string_view entry : entries) {
            folder.WriteAddresses(config::kNoCgiList, {std::string(entry)});
            EXPECT_EQ(StatusOf(Exchange(Port(), "GET /cgi-bin/addr.exe HTTP/1.0\r\n\r\n", server)),
                      "HTTP/1.1 403 Forbidden")
                << entry;
            EXPECT_EQ(BodyOf(Exchange(Port(), "GET /index.htm HTTP/1.0\r\n\r\n", server)), "home");
            folder.WriteAddresses(config::kNoCgiList, {});
            folder.WriteAddresses(config::kBlockList, {std::string(entry)});
            EXPECT_EQ(StatusOf(Exchange(Port(), "GET /index.htm HTTP/1.0\r\n\r\n", server)),
                      "HTTP/1.1 403 Forbidden")
                << entry;
            EXPECT_TRUE(observer.WaitForLog("Connection By: " + seen + " ** IP Blocked **\r\n"));
            folder.WriteAddresses(config::kBlockList, {});
        }
    }
};

TEST(ClientAddress, AnIpv4ClientOfADualStackListenerIsItsIpv4Address) {
    // An IPv6 socket that takes IPv4 connections, as "::" does, but on loopback.
    AddressedSite site("::ffff:127.0.0.1");
    site.ExpectSeenAs("127.0.0.1", "127.0.0.1", {"127.0.0.1", "::FFFF:127.0.0.1"});
    site.folder.WriteAddresses(config::kBlockList, {"::ffff:127.0.0.2", "127.0.0.10"});
    EXPECT_EQ(BodyOf(site.Fetch("/index.htm")), "home");
}

TEST(ClientAddress, AnIpv6ClientIsItsCanonicalText) {
    if (!HasIpv6Loopback()) {
        GTEST_SKIP() << "this machine has no IPv6 loopback (::1)";
    }
    AddressedSite site("::1");
    site.ExpectSeenAs("::1", "::1", {"::1", "0:0:0:0:0:0:0:1", "0000::0001"});
}

}  // namespace
}  // namespace quorvane::testing
