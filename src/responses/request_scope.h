#pragma once

#include <chrono>
#include <string>

#include "config/program_folder.h"
#include "config/settings_file.h"

namespace quorvane::responses {

// The machine's identity as shown to visitors (listings, CGI).
struct HostIdentity {
    std::string hostName;
    std::string ipAddress;
};

// What every responder of one request shares: where the program's files are,
// the settings as read once for this request, the host, and the request's
// moment.
struct RequestScope {
    const config::ProgramFolder& folder;
    const config::Settings& settings;
    const HostIdentity& host;
    std::chrono::system_clock::time_point now;
};

}  // namespace quorvane::responses
