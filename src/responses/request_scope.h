#pragma once

#include <chrono>
#include <string>

#include "config/config_snapshots.h"
#include "config/program_folder.h"
#include "config/settings_file.h"
#include "responses/media_types.h"

namespace quorvane::responses {
class ListingCache;
class ZipSlots;
}  // namespace quorvane::responses

namespace quorvane::responses {

// The machine's identity as shown to visitors (listings, CGI).
struct HostIdentity {
    std::string hostName;
    std::string ipAddress;
};

// What every responder of one request shares: where the program's files are,
// the settings and lists as taken once for this request, the host, and the
// request's moment.
struct RequestScope {
    const config::ProgramFolder& folder;
    const config::Configuration& config;
    const HostIdentity& host;
    std::chrono::system_clock::time_point now;
    config::ConfigSnapshots& snapshots;
    SystemMediaTypes* mediaTypes = nullptr;  // the system's table, when one is kept
    ListingCache* listings = nullptr;        // listing pages kept between requests
    ZipSlots* zips = nullptr;                // zips being made; none: no bound
    const config::Settings& settings = *config.settings;
};

}  // namespace quorvane::responses
