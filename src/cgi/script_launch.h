#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace quorvane::cgi {

// Everything needed to start one CGI child: what to run, where, with which
// environment, and what to write to its standard input.
struct ScriptLaunch {
    std::vector<std::string> argv;         // [interpreter, script] or [program]
    std::vector<std::string> environment;  // NAME=value, in order
    std::string workFolder;                // the script's own folder
    std::string input;                     // a POST body followed by CR LF; empty for GET
    std::size_t inputLength = 0;           // the POST body still to be read into `input`
    std::chrono::seconds timeLimit{30};
};

}  // namespace quorvane::cgi
