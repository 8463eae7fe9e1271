#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "cgi/script_launch.h"
#include "cgi/script_rule.h"
#include "http/request.h"
#include "http/response.h"
#include "responses/request_scope.h"
#include "responses/resolution.h"

namespace quorvane::cgi {

// A script request as the road resolved it; credentials were checked already.
struct ScriptRequest {
    std::string_view method;  // "GET", "HEAD" or "POST"
    const http::Request& request;
    std::size_t contentLength = 0;  // the POST body's announced length; it is read later
    const responses::Resolution& resolution;
    ScriptKind kind = ScriptKind::kProgram;  // kPerl or kProgram
    std::string_view query;                  // undecoded
    std::string_view peerAddress;
    uint16_t serverPort = 80;
    std::optional<std::string> remoteUser;  // set when credentials were accepted
    bool secure = false;                    // it came over HTTPS
};

// Either a reply that answers the request at once (a refusal, a challenge, a
// missing script or interpreter), or the child to start.
struct ScriptDecision {
    std::variant<http::Response, ScriptLaunch> action;
    std::string logView;  // completes the log view's line
};

// Checks the CGI-barred list, the script and the interpreter, and builds the
// child's command, folder and environment. A POST body is left for the
// connection to read into the launch's input, once the request is accepted.
ScriptDecision PrepareScript(const ScriptRequest& request, const responses::RequestScope& scope);

// The reply for a child's whole output: output beginning with "HTTP/" is
// relayed byte for byte (and its connection closed after it, the only end it
// has); otherwise its CGI header block becomes the head, with the body's real
// length. Nothing when the output has no header block (or is empty).
std::optional<http::Response> ComposeCgiReply(std::string output);

}  // namespace quorvane::cgi
