#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "cgi/script_launch.h"
#include "responses/reply.h"
#include "responses/request_scope.h"
#include "responses/virtual_directories.h"

namespace quorvane::cgi {

// A script request as the dispatch found it.
struct ScriptRequest {
    std::string_view method;                            // "GET", "HEAD" or "POST"
    std::string_view head;                              // the request head
    std::string_view body;                              // the POST body as read
    std::string directory;                              // normalised, ends with "/"
    std::string scriptName;                             // decoded, without the query
    std::string query;                                  // undecoded
    std::string physicalDirectory;                      // the folder that holds the script
    std::optional<responses::VirtualDirectory> record;  // the directory's dirs.lst record
    std::string_view peerAddress;
    uint16_t serverPort = 80;
};

// Either a reply that answers the request at once (a refusal, a challenge, a
// missing script or interpreter), or the child to start.
struct ScriptDecision {
    std::variant<responses::Reply, ScriptLaunch> action;
    std::string logView;  // completes the log view's line
};

// Checks the CGI-barred list, credentials, the script and the interpreter,
// and builds the child's command, folder and environment.
ScriptDecision PrepareScript(const ScriptRequest& request, const responses::RequestScope& scope);

// The reply for a child's whole output: output beginning with "HTTP/" is
// relayed byte for byte; otherwise its CGI header block becomes the head.
// Nothing when the output has no header block (or is empty).
std::optional<responses::Reply> ComposeCgiReply(std::string output);

}  // namespace quorvane::cgi
