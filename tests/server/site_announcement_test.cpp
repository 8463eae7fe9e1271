#include "server/site_announcement.h"

#include <gtest/gtest.h>

namespace quorvane::server {
namespace {

// The services as "type:port" words, in order.
std::string Services(const SiteAnnouncement& plan) {
    std::string text;
    for (const AnnouncedService& service : plan.services) {
        text += (text.empty() ? "" : " ") + service.type + ":" + std::to_string(service.port);
        EXPECT_EQ(service.txt, std::vector<std::string>{"path=/"}) << service.type;
    }
    return text;
}

TEST(SiteAnnouncement, ServicesFollowTheListenerAndTheSettings) {
    const config::VirtualDirectory drop{.name = "/drop/", .folder = "d", .uploads = true};
    struct Case {
        const char* settings;
        std::vector<config::VirtualDirectory> dirs;
        ListenerFacts listener;
        const char* services;
    };
    const Case cases[] = {
        {"", {}, {8080, 0, false}, "_http._tcp:8080"},
        {"", {}, {8080, 8443, false}, "_http._tcp:8080 _https._tcp:8443"},
        {"[HomePage]\nChanges=1\n", {}, {80, 0, false}, "_http._tcp:80 _webdav._tcp:80"},
        {"[Server]\nAnnounce=1\n",
         {drop},
         {80, 443, false},
         "_http._tcp:80 _webdav._tcp:80 _https._tcp:443 _webdavs._tcp:443"},
        // Where names may run, nobody writes.
        {"[HomePage]\nUploads=1\nScriptAllowed=1\n", {}, {80, 0, false}, "_http._tcp:80"},
        {"", {}, {0, 0, false}, ""},           // stopped
        {"", {drop}, {8080, 8443, true}, ""},  // this computer only
        {"[Server]\nAnnounce=0\n", {}, {8080, 0, false}, ""},
        {"[Server]\nAnnounce=yes\n", {}, {8080, 0, false}, ""},  // only 1 turns it on
    };
    for (const Case& c : cases) {
        const SiteAnnouncement plan = PlanAnnouncement(config::Settings::Parse(c.settings), c.dirs,
                                                       "den.example.org", c.listener);
        EXPECT_EQ(Services(plan), c.services) << c.settings << c.listener.port;
        EXPECT_EQ(plan.name, plan.services.empty() ? "" : "Quorvane2000 on den");
    }
}

TEST(SiteAnnouncement, TheNameFitsDnsSd) {
    EXPECT_EQ(AnnouncedName("den"), "Quorvane2000 on den");
    const std::string longName = AnnouncedName(std::string(80, 'h'));
    EXPECT_EQ(longName, "Quorvane2000 on " + std::string(63 - 16, 'h'));
    // Never cut inside a character: "é" is two bytes, the 63rd its first.
    EXPECT_EQ(AnnouncedName(std::string(46, 'h') + "\xC3\xA9" + "x"),
              "Quorvane2000 on " + std::string(46, 'h'));
}

}  // namespace
}  // namespace quorvane::server
