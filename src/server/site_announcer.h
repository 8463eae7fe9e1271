#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "server/site_announcement.h"

struct AvahiClient;
struct AvahiEntryGroup;
struct AvahiThreadedPoll;

namespace quorvane::server {

// Tells the local network about the site through the Avahi daemon (mDNS and
// DNS-SD), on a thread of its own. Without a daemon nothing is announced and
// nothing fails; one that starts or restarts later is told again. A name
// another machine already announces is replaced by Avahi's alternative
// ("... #2").
class SiteAnnouncer {
  public:
    // `report` receives a line for the log view; it is called on the
    // announcer's thread.
    explicit SiteAnnouncer(std::function<void(std::string_view)> report);
    ~SiteAnnouncer();
    SiteAnnouncer(const SiteAnnouncer&) = delete;
    SiteAnnouncer& operator=(const SiteAnnouncer&) = delete;

    // Announces `wanted` in place of what was announced before; an empty
    // announcement withdraws it. Returns without waiting for the daemon. No
    // connection to the daemon is made before something is to be announced.
    void Announce(const SiteAnnouncement& wanted);

  private:
    friend struct AvahiCallbacks;  // the library's callbacks, in its own types

    // A client of the daemon, waiting for it when it is not running; false
    // when the system bus cannot be reached.
    bool Connect();
    // The wanted services to the daemon, when it is running; with the
    // poll's lock held (or before its thread runs).
    void Publish();
    // The services under the current name; an Avahi error code.
    int AddServices();
    // The next name after a collision.
    void Rename();
    // Says once that there is no daemon to tell.
    void SayUnavailable(std::string_view why);

    std::function<void(std::string_view)> report_;
    AvahiThreadedPoll* poll_ = nullptr;
    AvahiClient* client_ = nullptr;
    AvahiEntryGroup* group_ = nullptr;
    SiteAnnouncement wanted_;
    std::string name_;  // the wanted name, or the alternative taken after a collision
    bool saidUnavailable_ = false;
};

}  // namespace quorvane::server
