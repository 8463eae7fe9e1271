#include "server/request_handler.h"

#include <algorithm>

#include "cgi/cgi_gateway.h"
#include "cgi/script_rule.h"
#include "config/address_text.h"
#include "config/list_file.h"
#include "config/setting_keys.h"
#include "config/text.h"
#include "http/escaping.h"
#include "responses/authentication.h"
#include "responses/document_server.h"
#include "responses/error_pages.h"
#include "responses/listing_pages.h"
#include "responses/request_head.h"
#include "responses/resolution.h"
#include "server/access_log.h"
#include "server/limits.h"

namespace quorvane::server {

using responses::ErrorCode;
using responses::Status;
namespace setting = config::setting;

namespace {

// The host a client named when it names this machine (its name, that name
// under .local, localhost, or the address the client reached), without its
// port; else that address, which the client can surely reach again. A Host
// line naming anything else is never repeated in a Location.
std::string RequestedHost(std::string_view head, const std::string& hostName,
                          std::string_view localAddress) {
    std::string_view host =
        config::TrimBlanks(responses::GetHeaderValue(head, "Host").value_or(""));
    host =
        host.starts_with('[') ? host.substr(0, host.find(']') + 1) : host.substr(0, host.find(':'));
    const std::string reached = localAddress.find(':') == std::string_view::npos
                                    ? std::string(localAddress)
                                    : "[" + std::string(localAddress) + "]";
    for (const std::string& own :
         {hostName, hostName + ".local", std::string("localhost"), reached}) {
        if (!own.empty() && config::EqualsIgnoringCase(host, own)) {
            return std::string(host);
        }
    }
    return reached.empty() || reached == "[::]" || reached == "0.0.0.0" ? hostName : reached;
}

// The same path and query on the HTTPS port.
std::string HttpsLocation(const http::RequestTarget& target, const IncomingRequest& incoming,
                          const std::string& hostName) {
    std::string location =
        "https://" + RequestedHost(incoming.head, hostName, incoming.localAddress);
    if (incoming.httpsPort != 443) {
        location += ":" + std::to_string(incoming.httpsPort);
    }
    location += http::PercentEncodePath(http::PathText(target));
    if (!target.query.empty()) {
        location += "?" + http::PercentEncodeQuery(target.query);
    }
    return location;
}

// A request the connection cannot go on from: answered, then closed.
Outcome Refusal(responses::Reply reply) {
    Outcome outcome;
    outcome.reply = std::move(reply);
    outcome.logView = "\r\n";
    return outcome;
}

}  // namespace

RequestHandler::RequestHandler(const config::ProgramFolder& folder, responses::HostIdentity host)
    : folder_(folder), host_(std::move(host)) {}

Outcome RequestHandler::Handle(const IncomingRequest& incoming) const {
    const Request request = ParseRequest(incoming.head);
    Outcome outcome = Decide(request, incoming);
    // No answer to HEAD carries a body, refusals of a malformed one included.
    outcome.sendBody = request.method != Method::kHead;
    outcome.readProblems = snapshots_.TakeProblems();
    return outcome;
}

Outcome RequestHandler::Decide(const Request& request, const IncomingRequest& incoming) const {
    snapshots_.Refresh();  // every edit reported so far applies to this request
    const config::Configuration config = snapshots_.Take(folder_);
    if (!config.Complete()) {
        Outcome unreadable;
        // What guards the site cannot be read: nothing is answered from a guess.
        unreadable.reply = responses::SendUnavailablePage(incoming.now);
        unreadable.logView = "\r\n";
        unreadable.accessLogLine = AccessLogLine(
            incoming.peerAddress, incoming.now,
            request.method == Method::kOther ? std::string_view() : request.requestLine);
        return unreadable;
    }
    const config::Settings& settings = *config.settings;
    const responses::RequestScope scope{folder_,    config,       host_,     incoming.now,
                                        snapshots_, &mediaTypes_, &listings_};
    // An unknown method leaves its record empty after the date.
    const std::string record =
        AccessLogLine(incoming.peerAddress, incoming.now,
                      request.method == Method::kOther ? std::string_view() : request.requestLine);

    if (config::ListsAddress(*config.blocked, incoming.peerAddress)) {
        Outcome outcome = Refusal(responses::SendErrorPage(ErrorCode::k404_1, scope));
        outcome.logView = " ** IP Blocked **\r\n";
        outcome.accessLogLine = record;
        return outcome;
    }
    if (config::StartsWith(config::ServerValue(settings, setting::kSiteLocation), "Redir")) {
        Outcome outcome = Refusal(responses::SendRedirectPage(
            config::ServerValue(settings, setting::kRootDirectory), incoming.now));
        return outcome;  // answers before anything is parsed, so the connection ends
    }

    const auto refuse = [&](responses::Reply reply) {
        Outcome refused = Refusal(std::move(reply));
        refused.accessLogLine = record;
        return refused;
    };
    if (incoming.headTooLarge) {
        return refuse(responses::SendRequestErrorPage(Status::kHeaderFieldsTooLarge, incoming.now));
    }
    if (request.problem == LineProblem::kMalformed) {
        return refuse(responses::SendRequestErrorPage(Status::kBadRequest, incoming.now));
    }
    if (request.problem == LineProblem::kVersionNotSupported) {
        return refuse(responses::SendRequestErrorPage(Status::kVersionNotSupported, incoming.now));
    }
    if (request.method == Method::kOther) {
        Outcome other = refuse(responses::SendNotImplementedPage(incoming.now));
        other.logView = " For Document: \r\n";
        return other;
    }
    if (!request.http10 && request.hostLines != 1) {
        return refuse(responses::SendRequestErrorPage(Status::kBadRequest, incoming.now));
    }
    if (request.body.kind == BodyFraming::Kind::kInvalid) {
        return refuse(responses::SendRequestErrorPage(Status::kBadRequest, incoming.now));
    }
    if (request.body.kind == BodyFraming::Kind::kChunked) {
        return refuse(responses::SendRequestErrorPage(Status::kLengthRequired, incoming.now));
    }
    if (!request.target) {
        return refuse(responses::SendMalformedUrlPage(incoming.now));
    }
    if (request.method == Method::kPost && request.body.length > kBodyLimit) {
        return refuse(responses::SendTooLargePage(incoming.now));
    }
    Outcome responded;
    if (!incoming.secure && incoming.httpsPort != 0 &&
        config::IsOn(settings, setting::kRedirectToHttps)) {
        responded.logView = "\r\n";
        responded.reply = responses::SendSecureRedirectPage(
            HttpsLocation(*request.target, incoming, host_.hostName), incoming.now);
    } else {
        responded = Respond(request, incoming, scope);
    }
    responded.accessLogLine = record;
    responded.keepAlive = request.keepAlive;
    responded.http10 = request.http10;
    responded.bodyLength = request.body.length;
    responded.expectContinue = request.expectContinue;
    return responded;
}

std::optional<responses::Reply> RequestHandler::SignIn(const IncomingRequest& incoming,
                                                       const responses::RequestScope& scope,
                                                       std::string_view realm,
                                                       std::optional<std::string>& user,
                                                       Outcome& outcome) const {
    const std::optional<std::string_view> authorization =
        responses::GetHeaderValue(incoming.head, "Authorization");
    if (!authorization) {
        return responses::SendAuthChallenge(realm, scope);
    }
    // A client that sent too many wrong passwords waits, whatever it sends now.
    const std::string client = config::ClientGroup(incoming.peerAddress);
    if (const auto wait = signIns_.Wait(client, incoming.now); wait.count() > 0) {
        return responses::SendTooManySignInsPage(std::chrono::ceil<std::chrono::seconds>(wait),
                                                 incoming.now);
    }
    user = responses::AuthenticateRequest(*authorization, *scope.config.users);
    if (user) {
        return std::nullopt;
    }
    if (const auto wait = signIns_.Failed(client, incoming.now); wait.count() > 0) {
        outcome.notices.push_back(
            std::to_string(signIns_.Failures(client)) + " wrong passwords from " + client +
            ": its sign-ins are refused for " +
            std::to_string(std::chrono::ceil<std::chrono::seconds>(wait).count()) + " s.\r\n");
    }
    return responses::SendAuthChallenge(realm, scope);
}

Outcome RequestHandler::Respond(const Request& request, const IncomingRequest& incoming,
                                const responses::RequestScope& scope) const {
    Outcome outcome;
    outcome.logView = "\r\n";
    const http::RequestTarget& target = *request.target;
    const auto own = snapshots_.OwnFilesOf(folder_);
    const responses::Resolution resolution =
        responses::Resolve(target, {*scope.config.directories, *scope.config.defaultDocuments,
                                    scope.settings, folder_, own.get(), &resolveCache_});

    // Access is decided on where the request landed, never on how it was spelled.
    std::optional<std::string> user;
    if (resolution.policy.secure) {
        outcome.passwordsInClear = !incoming.secure && !incoming.fromThisComputer;
        if (auto refusal = SignIn(incoming, scope, resolution.policy.realm, user, outcome)) {
            outcome.reply = std::move(*refusal);
            return outcome;
        }
    }

    // A folder is named with its final slash, so its pages' relative links
    // resolve inside it.
    const bool namesFolder =
        resolution.found == responses::Found::kFolder ||
        (resolution.found == responses::Found::kFile && resolution.defaultDocument);
    if (namesFolder && !target.endsWithSlash) {
        std::string location = http::PercentEncodePath(http::PathText(target) + "/");
        if (!target.query.empty()) {
            location += "?" + http::PercentEncodeQuery(target.query);
        }
        outcome.reply = responses::SendMovedPage(location, incoming.now);
        return outcome;
    }

    const cgi::ScriptKind kind =
        resolution.document.empty()
            ? cgi::ScriptKind::kDocument
            : cgi::ClassifyScript(resolution.document, resolution.policy.scripts,
                                  resolution.policy.programs, resolution.policy.insideScriptFolder);
    if (kind == cgi::ScriptKind::kRefused) {
        outcome.reply = responses::SendErrorPage(ErrorCode::k404_4, scope);
        return outcome;
    }
    if (kind != cgi::ScriptKind::kDocument) {
        if (!config::IsOn(scope.settings, setting::kCgiEnabled)) {
            outcome.reply = responses::SendErrorPage(ErrorCode::k404_2, scope);
            return outcome;
        }
        cgi::ScriptDecision decision = cgi::PrepareScript(
            {.method = request.methodName,
             .head = incoming.head,
             .contentLength = request.method == Method::kPost ? request.body.length : 0,
             .resolution = resolution,
             .kind = kind,
             .query = target.query,
             .peerAddress = incoming.peerAddress,
             .serverPort = incoming.serverPort,
             .remoteUser = std::move(user),
             .secure = incoming.secure},
            scope);
        outcome.logView = std::move(decision.logView);
        if (auto* launch = std::get_if<cgi::ScriptLaunch>(&decision.action)) {
            outcome.script = std::move(*launch);
        } else {
            outcome.reply = std::move(std::get<responses::Reply>(decision.action));
        }
        return outcome;
    }

    // The log view names the document as the request did; a terminal must
    // never receive the request's control characters.
    const std::string named =
        resolution.document.empty() || resolution.defaultDocument ? "Default" : resolution.document;
    outcome.logView =
        " For Document: " +
        config::LoggableText(target.query.empty() ? named : named + "?" + target.query,
                             kLoggedTextLimit) +
        "\r\n";
    outcome.reply = responses::ServeDocument(
        resolution, {.head = incoming.head, .get = request.method == Method::kGet}, scope);
    if (resolution.policy.secure) {
        // A page behind a password must not be shown from the browser's
        // cache to whoever sits at that computer next.
        outcome.reply.fields += "Cache-Control: no-store\r\n";
    }
    return outcome;
}

}  // namespace quorvane::server
