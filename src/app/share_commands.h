#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "app/command_line.h"
#include "config/program_folder.h"
#include "config/settings_file.h"

namespace quorvane::app {

// The site's address as the network reaches it, by the settings: HTTPS
// when it is on, the address of this machine a phone would use (or
// localhost while only this computer is served).
std::string SiteAddress(const config::Settings& settings);

// The headless program's link commands (--share, --shares, --revoke): each
// prints its answer, its problem to `problems`, and gives the exit status.
int RunLinkCommand(const CommandLine& line, const config::ProgramFolder& folder,
                   std::chrono::system_clock::time_point now, std::ostream& out,
                   std::ostream& problems);

}  // namespace quorvane::app
