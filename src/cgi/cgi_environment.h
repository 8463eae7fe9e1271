#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http/request.h"

namespace quorvane::cgi {

// SERVER_SOFTWARE names it, with the version.
inline constexpr std::string_view kServerName = "Quorvane2000";

// What the CGI/1.1 environment is made of for one request.
struct EnvironmentInputs {
    bool post = false;
    std::string_view method;       // "GET", "HEAD" or "POST"
    const http::Request* request;  // its fields become the HTTP_* variables
    std::string_view query;
    std::size_t contentLength = 0;
    std::string_view hostName;
    uint16_t serverPort = 80;
    std::string_view physicalDirectory;
    std::string_view requestDirectory;
    std::string_view peerAddress;
    std::string_view scriptName;
    std::optional<std::string> remoteUser;  // set for an authenticated request
    bool secure = false;                    // came over HTTPS
};

// The NAME=value entries in their fixed order, then PATH, the request's other
// headers as HTTP_*, AUTH_TYPE with REMOTE_USER when authenticated, and
// HTTPS=on over HTTPS.
std::vector<std::string> BuildEnvironment(const EnvironmentInputs& inputs);

}  // namespace quorvane::cgi
