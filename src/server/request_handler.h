#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "cgi/script_launch.h"
#include "config/config_snapshots.h"
#include "config/program_folder.h"
#include "config/settings_file.h"
#include "responses/listing_pages.h"
#include "responses/reply.h"
#include "responses/request_scope.h"
#include "responses/resolution.h"
#include "server/request.h"
#include "server/sign_in_throttle.h"

namespace quorvane::server {

struct IncomingRequest {
    std::string_view head;         // up to and including the empty line
    std::string_view peerAddress;  // the client's address text, empty when unknown
    std::chrono::system_clock::time_point now;
    uint16_t serverPort = 80;       // the port the request came in on
    bool headTooLarge = false;      // `head` is the start of a head that never ended
    bool secure = false;            // it came over TLS
    bool fromThisComputer = false;  // the client is this machine itself
    uint16_t httpsPort = 0;         // the HTTPS port while HTTPS is on, else 0
    // The address the client reached, when a move to HTTPS may need it.
    std::string_view localAddress;
};

// What handling one request decided. Exactly one of `reply` and `script`
// answers the client: a script is run by the connection (after it has read
// the POST body the launch asks for), which then composes the reply from its
// output.
struct Outcome {
    responses::Reply reply;
    std::optional<cgi::ScriptLaunch> script;
    std::string logView;  // completes the "Connection By: address" line
    std::optional<std::string> accessLogLine;
    bool sendBody = true;  // false for HEAD
    // What the connection does after the reply: keep it for the next
    // request (the client asked and nothing went wrong), and how the client
    // is told so.
    bool keepAlive = false;
    bool http10 = false;
    uint64_t bodyLength = 0;      // the body the head announced, whether or not it is read
    bool expectContinue = false;  // the client waits for "100 Continue" before its body
    // A secure folder was asked for over plain HTTP by another computer: its
    // password crosses the network in clear.
    bool passwordsInClear = false;
    // Settings or lists that could not be read while deciding, each told once.
    std::vector<config::ReadProblem> readProblems;
    // Lines for the log view after the connection's own.
    std::vector<std::string> notices;
};

// Decides the answer to one request from its head alone, so nothing a client
// sends after the head is read before it is accepted. The road: block list,
// site redirect, parse, the move to HTTPS (when so set), resolve, access
// (credentials, the CGI bar), then exactly one responder. Settings and lists come from snapshots
// that are re-read whenever their file changed, so an edit applies to the next request.
class RequestHandler {
  public:
    RequestHandler(const config::ProgramFolder& folder, responses::HostIdentity host);

    Outcome Handle(const IncomingRequest& incoming) const;

    const config::ProgramFolder& Folder() const { return folder_; }
    const responses::HostIdentity& Host() const { return host_; }

  private:
    Outcome Decide(const Request& request, const IncomingRequest& incoming) const;
    Outcome Respond(const Request& request, const IncomingRequest& incoming,
                    const responses::RequestScope& scope) const;
    // Nothing when the credentials sent are accepted (`user` is then the
    // user as stored); else the refusal to send.
    std::optional<responses::Reply> SignIn(const IncomingRequest& incoming,
                                           const responses::RequestScope& scope,
                                           std::string_view realm, std::optional<std::string>& user,
                                           Outcome& outcome) const;

    const config::ProgramFolder& folder_;
    responses::HostIdentity host_;
    // The engine's thread is the only reader; the snapshots guard themselves.
    mutable config::ConfigSnapshots snapshots_;
    mutable responses::SystemMediaTypes mediaTypes_{"/etc/mime.types"};
    mutable responses::ResolveCache resolveCache_;
    mutable responses::ListingCache listings_;
    mutable SignInThrottle signIns_;
};

}  // namespace quorvane::server
