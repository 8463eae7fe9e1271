#pragma once

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cgi/script_launch.h"
#include "cgi/script_rule.h"
#include "config/config_snapshots.h"
#include "config/program_folder.h"
#include "config/run_overrides.h"
#include "dav/lock_table.h"
#include "dav/webdav.h"
#include "http/body_sink.h"
#include "http/request.h"
#include "http/response.h"
#include "responses/folder_walk.h"
#include "responses/folder_zip.h"
#include "responses/listing_pages.h"
#include "responses/request_scope.h"
#include "responses/resolution.h"
#include "server/credential_cache.h"
#include "server/engine_observer.h"
#include "server/limits.h"
#include "server/sign_in_throttle.h"

namespace quorvane::server {

// Who sent a request, and how it came in.
struct Peer {
    std::string_view address;  // the client's address text, empty when unknown
    bool secure = false;       // over TLS
    bool fromThisComputer = false;
    uint16_t serverPort = 80;  // the port the request came in on
    uint16_t httpsPort = 0;    // the HTTPS port while HTTPS is on, else 0
    // The address the client reached, when a move to HTTPS may need it.
    std::string_view localAddress;
};

// An image's thumbnail, to be made (or found) off the engine's thread: the
// image as opened after its checks, and the reply it goes out in.
struct ThumbnailWanted {
    std::shared_ptr<config::FileHandle> source;
    struct stat info;
    http::Response reply;  // its head; the thumbnail becomes its body
};

// What handling one request decided. Exactly one of `reply`, `script`,
// `thumbnail`, `bodyWanted` and `sink` answers the client: a script is run
// by the connection (after it has read the POST body the launch asks for),
// which then composes the reply from its output; a thumbnail is made by the
// connection too; a body wanted whole is read and the request handled again
// with it; a body streamed goes into the sink, which answers once it has all
// come.
struct Outcome {
    http::Response reply;
    std::optional<cgi::ScriptLaunch> script;
    std::optional<ThumbnailWanted> thumbnail;
    std::optional<size_t> bodyWanted;
    std::unique_ptr<http::BodySink> sink;
    std::string logView;  // completes the "Connection By: address" line
    std::optional<std::string> accessLogLine;
    // The request cannot be gone on from (refused before it was understood):
    // the connection closes after the reply.
    bool endsConnection = false;
    // A secure folder was asked for over plain HTTP by another computer: its
    // password crosses the network in clear.
    bool passwordsInClear = false;
    // Settings or lists that could not be read while deciding, each told once.
    std::vector<config::ReadProblem> readProblems;
    // A client whose sign-ins now wait, and how long.
    std::optional<SignInsHeld> signInsHeld;
};

// Decides the answer to one request from its head alone, so nothing a client
// sends after the head is read before it is accepted. The request travels one
// road of named steps (kRoad), each answering it, launching its script, or
// letting it go on. Settings and lists come from snapshots that are read again
// whenever their file changed, so an edit applies to the next request. Used
// on the engine's thread only: the snapshots, caches and the sign-in
// throttle it keeps are its own.
class RequestHandler {
  public:
    RequestHandler(const config::ProgramFolder& folder, responses::HostIdentity host,
                   config::RunOverrides overrides = {});

    Outcome Handle(const http::Request& request, const Peer& peer,
                   std::chrono::system_clock::time_point now);

    const config::ProgramFolder& Folder() const { return folder_; }
    const responses::HostIdentity& Host() const { return host_; }

  private:
    // One request on the road: what each step reads, and what the steps
    // before it found.
    struct Exchange {
        const http::Request& request;
        const Peer& peer;
        const responses::RequestScope& scope;
        Outcome& outcome;
        std::optional<responses::Resolution> resolution;
        std::optional<std::string> user;  // as users.lst names them, once signed in
        bool signInFailed = false;        // the credentials sent were checked and are wrong
        // The share link the request came through, and its token.
        std::optional<config::ShareLink> share;
        std::string token;
        cgi::ScriptKind kind = cgi::ScriptKind::kDocument;
    };
    struct GoOn {};
    using Step = std::variant<GoOn, http::Response, cgi::ScriptLaunch, dav::BodyWanted,
                              std::unique_ptr<http::BodySink>, ThumbnailWanted>;

    Step RefuseBlocked(Exchange& exchange);
    Step RedirectSite(Exchange& exchange);
    Step RefuseUnserviceable(Exchange& exchange);
    Step MoveToHttps(Exchange& exchange);
    Step OpenShareLink(Exchange& exchange);
    Step ResolveTarget(Exchange& exchange);
    Step Authenticate(Exchange& exchange);
    Step AnswerWebDav(Exchange& exchange);
    Step RedirectFolder(Exchange& exchange);
    Step Classify(Exchange& exchange);
    Step LaunchScript(Exchange& exchange);
    Step ServeFolder(Exchange& exchange);
    Step ServeThumbnail(Exchange& exchange);
    Step Serve(Exchange& exchange);

    static constexpr std::array kRoad = {
        &RequestHandler::RefuseBlocked,       &RequestHandler::RedirectSite,
        &RequestHandler::RefuseUnserviceable, &RequestHandler::MoveToHttps,
        &RequestHandler::OpenShareLink,       &RequestHandler::ResolveTarget,
        &RequestHandler::Authenticate,        &RequestHandler::AnswerWebDav,
        &RequestHandler::RedirectFolder,      &RequestHandler::Classify,
        &RequestHandler::LaunchScript,        &RequestHandler::ServeFolder,
        &RequestHandler::ServeThumbnail,      &RequestHandler::Serve};

    // The credentials a secure place needs: nothing when they were given
    // (the user is then known), else the challenge or the wait.
    std::optional<http::Response> CheckCredentials(Exchange& exchange,
                                                   const responses::Policy& policy);
    responses::ResolveContext ContextFor(const responses::RequestScope& scope,
                                         const config::OwnFiles* own);
    // The rules of a walk below the request's folder: `contents` for what
    // is taken (a zip), else for what is shown (a search).
    responses::WalkAdmit WalkRules(Exchange& exchange, bool contents);
    // The rules of a walk below a shared folder.
    responses::WalkAdmit ShareWalkRules(Exchange& exchange, bool contents);
    // Whether the modern folder page and what comes with it are served.
    static bool ModernListing(const Exchange& exchange);
    // Counts a download through a share link: nothing when it may go, else
    // the reply that ends it (the link used up meanwhile, or not counted).
    std::optional<http::Response> CountDownload(Exchange& exchange);

    const config::ProgramFolder& folder_;
    responses::HostIdentity host_;
    config::ConfigSnapshots snapshots_;
    config::OverriddenConfiguration overridden_;
    responses::SystemMediaTypes mediaTypes_{"/etc/mime.types"};
    responses::ResolveCache resolveCache_;
    responses::ListingCache listings_;
    responses::ZipSlots zips_{kZipsAtOnce};
    SignInThrottle signIns_;
    CredentialCache credentials_;
    dav::LockTable locks_;
};

}  // namespace quorvane::server
