#include "server/site_announcer.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/strlst.h>
#include <avahi-common/thread-watch.h>

namespace quorvane::server {

namespace {

// Names tried, one after another, when each is already taken on the network.
constexpr int kMaxRenames = 16;

std::string ErrorText(int error) {
    return avahi_strerror(error);
}

std::string FailureText(int error) {
    return "The site could not be announced on the local network: " + ErrorText(error) + ".\r\n";
}

}  // namespace

struct AvahiCallbacks {
    static void OnClient(AvahiClient* client, AvahiClientState state, void* self);
    static void OnGroup(AvahiEntryGroup* group, AvahiEntryGroupState state, void* self);
};

SiteAnnouncer::SiteAnnouncer(std::function<void(std::string_view)> report)
    : report_(std::move(report)) {}

SiteAnnouncer::~SiteAnnouncer() {
    if (poll_ == nullptr) {
        return;
    }
    avahi_threaded_poll_stop(poll_);
    if (client_ != nullptr) {
        avahi_client_free(client_);  // its entry group with it, which withdraws the services
    }
    avahi_threaded_poll_free(poll_);
}

void SiteAnnouncer::Announce(const SiteAnnouncement& wanted) {
    if (poll_ == nullptr) {
        if (wanted.services.empty()) {
            return;
        }
        poll_ = avahi_threaded_poll_new();
        wanted_ = wanted;
        name_ = wanted.name;
        if (poll_ == nullptr || !Connect() || avahi_threaded_poll_start(poll_) < 0) {
            if (poll_ != nullptr) {
                if (client_ != nullptr) {
                    avahi_client_free(client_);
                    client_ = nullptr;
                    group_ = nullptr;
                }
                avahi_threaded_poll_free(poll_);
                poll_ = nullptr;
            }
        }
        return;
    }
    avahi_threaded_poll_lock(poll_);
    if (wanted.name != wanted_.name) {
        name_ = wanted.name;
    }
    wanted_ = wanted;
    Publish();
    avahi_threaded_poll_unlock(poll_);
}

bool SiteAnnouncer::Connect() {
    int error = AVAHI_OK;
    client_ = avahi_client_new(avahi_threaded_poll_get(poll_), AVAHI_CLIENT_NO_FAIL,
                               &AvahiCallbacks::OnClient, this, &error);
    if (client_ == nullptr) {
        SayUnavailable(error == AVAHI_ERR_NO_DAEMON ? "the Avahi daemon is not running"
                                                    : ErrorText(error));
        return false;
    }
    return true;
}

void AvahiCallbacks::OnClient(AvahiClient* client, AvahiClientState state, void* self) {
    auto& announcer = *static_cast<SiteAnnouncer*>(self);
    announcer.client_ = client;  // also while avahi_client_new has not returned yet
    switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            announcer.Publish();
            break;
        case AVAHI_CLIENT_S_REGISTERING:
        case AVAHI_CLIENT_S_COLLISION:
            // The daemon is (re)naming its host; the services follow once it runs.
            if (announcer.group_ != nullptr) {
                avahi_entry_group_reset(announcer.group_);
            }
            break;
        case AVAHI_CLIENT_CONNECTING:
            announcer.SayUnavailable("the Avahi daemon is not running");
            break;
        case AVAHI_CLIENT_FAILURE:
            if (avahi_client_errno(client) != AVAHI_ERR_DISCONNECTED) {
                announcer.report_(FailureText(avahi_client_errno(client)));
                break;
            }
            // The daemon went away: wait for it to come back.
            avahi_client_free(client);
            announcer.client_ = nullptr;
            announcer.group_ = nullptr;
            announcer.Connect();
            break;
    }
}

void AvahiCallbacks::OnGroup(AvahiEntryGroup* group, AvahiEntryGroupState state, void* self) {
    auto& announcer = *static_cast<SiteAnnouncer*>(self);
    switch (state) {
        case AVAHI_ENTRY_GROUP_ESTABLISHED:
            announcer.report_("The site is announced on the local network as \"" + announcer.name_ +
                              "\".\r\n");
            break;
        case AVAHI_ENTRY_GROUP_COLLISION:
            announcer.Rename();
            announcer.Publish();
            break;
        case AVAHI_ENTRY_GROUP_FAILURE:
            announcer.report_(FailureText(avahi_client_errno(avahi_entry_group_get_client(group))));
            break;
        case AVAHI_ENTRY_GROUP_UNCOMMITED:
        case AVAHI_ENTRY_GROUP_REGISTERING:
            break;
    }
}

void SiteAnnouncer::Publish() {
    if (client_ == nullptr || avahi_client_get_state(client_) != AVAHI_CLIENT_S_RUNNING) {
        return;  // published once the daemon runs
    }
    if (group_ != nullptr) {
        avahi_entry_group_reset(group_);
    }
    if (wanted_.services.empty()) {
        return;
    }
    if (group_ == nullptr) {
        group_ = avahi_entry_group_new(client_, &AvahiCallbacks::OnGroup, this);
        if (group_ == nullptr) {
            report_(FailureText(avahi_client_errno(client_)));
            return;
        }
    }
    int error = AVAHI_OK;
    for (int attempt = 0; attempt < kMaxRenames; ++attempt) {
        error = AddServices();
        if (error == AVAHI_OK) {
            error = avahi_entry_group_commit(group_);
        }
        if (error != AVAHI_ERR_COLLISION) {
            break;
        }
        Rename();
        avahi_entry_group_reset(group_);
    }
    if (error != AVAHI_OK) {
        report_(FailureText(error));
    }
}

int SiteAnnouncer::AddServices() {
    for (const AnnouncedService& service : wanted_.services) {
        AvahiStringList* txt = nullptr;
        for (const std::string& text : service.txt) {
            txt = avahi_string_list_add(txt, text.c_str());
        }
        const int error = avahi_entry_group_add_service_strlst(
            group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, static_cast<AvahiPublishFlags>(0),
            name_.c_str(), service.type.c_str(), nullptr, nullptr, service.port, txt);
        avahi_string_list_free(txt);
        if (error != AVAHI_OK) {
            return error;
        }
    }
    return AVAHI_OK;
}

void SiteAnnouncer::Rename() {
    char* next = avahi_alternative_service_name(name_.c_str());
    if (next != nullptr) {
        name_ = next;
        avahi_free(next);
    }
}

void SiteAnnouncer::SayUnavailable(std::string_view why) {
    if (saidUnavailable_) {
        return;
    }
    saidUnavailable_ = true;
    report_("The site is not announced on the local network: " + std::string(why) + ".\r\n");
}

}  // namespace quorvane::server
