#include "server/request_handler.h"

#include <algorithm>

#include "cgi/cgi_gateway.h"
#include "cgi/script_rule.h"
#include "config/list_file.h"
#include "config/text.h"
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

namespace {

bool IsListed(const std::vector<config::Record>& list, std::string_view address) {
    return std::any_of(list.begin(), list.end(),
                       [&](const config::Record& entry) { return entry.front() == address; });
}

}  // namespace

RequestHandler::RequestHandler(const config::ProgramFolder& folder, responses::HostIdentity host)
    : folder_(folder), host_(std::move(host)) {}

Outcome RequestHandler::Handle(const IncomingRequest& incoming) const {
    const auto settingsSnapshot = snapshots_.SettingsFile(folder_.SettingsPath());
    const config::Settings& settings = *settingsSnapshot;
    const responses::RequestScope scope{folder_, settings, host_, incoming.now, snapshots_};
    Outcome outcome;

    const Request request = ParseRequest(incoming.head);
    const auto record = [&] {
        return AccessLogLine(incoming.peerAddress, incoming.now, request.requestLine);
    };
    if (IsListed(*scope.List(config::kBlockList, 1), incoming.peerAddress)) {
        outcome.reply = responses::SendErrorPage(ErrorCode::k404_1, scope);
        outcome.logView = " ** IP Blocked **\r\n";
        outcome.accessLogLine = record();
        return outcome;
    }
    if (config::StartsWith(settings.Read("HomePage", "SiteLocation", "Local"), "Redir")) {
        outcome.reply = responses::SendRedirectPage(
            settings.Read("HomePage", "RootDirectory", "www"), incoming.now);
        outcome.logView = "\r\n";
        return outcome;
    }
    outcome.accessLogLine = record();
    outcome.sendBody = request.method != Method::kHead;
    if (request.method == Method::kOther) {
        outcome.reply = responses::SendNotImplementedPage(incoming.now);
        outcome.logView = " For Document: \r\n";
        return outcome;
    }
    if (!request.target) {
        outcome.reply = responses::SendMalformedUrlPage(incoming.now);
        outcome.logView = "\r\n";
        return outcome;
    }
    if (request.method == Method::kPost && ContentLength(incoming.head) > kBodyLimit) {
        outcome.reply = responses::SendTooLargePage(incoming.now);
        outcome.logView = "\r\n";
        return outcome;
    }
    Outcome responded = Respond(request, incoming, scope);
    responded.accessLogLine = std::move(outcome.accessLogLine);
    responded.sendBody = outcome.sendBody;
    return responded;
}

Outcome RequestHandler::Respond(const Request& request, const IncomingRequest& incoming,
                                const responses::RequestScope& scope) const {
    Outcome outcome;
    const responses::RequestTarget& target = *request.target;
    const responses::Resolution resolution =
        responses::Resolve(target, {*scope.List(config::kDirsList, 5),
                                    *scope.List(config::kDefaultList, 1), scope.settings, folder_});

    // Access is decided on where the request landed, never on how it was spelled.
    std::optional<std::string> user;
    if (resolution.policy.secure) {
        const std::string_view authorization =
            responses::GetHeaderValue(incoming.head, "Authorization").value_or("");
        if (!responses::AuthenticateRequest(authorization, *scope.List(config::kUsersList, 2))) {
            outcome.reply = responses::SendAuthChallenge(resolution.policy.realm);
            outcome.logView = "\r\n";
            return outcome;
        }
        user = responses::ParseBasicCredentials(authorization)->user;
    }

    const cgi::ScriptKind kind =
        resolution.document.empty()
            ? cgi::ScriptKind::kDocument
            : cgi::ClassifyScript(resolution.document, resolution.policy.scripts,
                                  resolution.policy.programs);
    if (kind == cgi::ScriptKind::kRefused) {
        outcome.reply = responses::SendErrorPage(ErrorCode::k404_4, scope);
        outcome.logView = "\r\n";
        return outcome;
    }
    if (kind != cgi::ScriptKind::kDocument) {
        if (!config::FlagNotZero(scope.settings.Read("CGI", "Enabled", "0"))) {
            outcome.reply = responses::SendErrorPage(ErrorCode::k404_2, scope);
            outcome.logView = "\r\n";
            return outcome;
        }
        cgi::ScriptDecision decision = cgi::PrepareScript(
            {.method = request.methodName,
             .head = incoming.head,
             .contentLength = request.method == Method::kPost ? ContentLength(incoming.head) : 0,
             .resolution = resolution,
             .kind = kind,
             .query = target.query,
             .peerAddress = incoming.peerAddress,
             .serverPort = incoming.serverPort,
             .remoteUser = std::move(user)},
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
        config::EscapeControlCharacters(target.query.empty() ? named : named + "?" + target.query) +
        "\r\n";
    outcome.reply = responses::ServeDocument(resolution, scope);
    return outcome;
}

}  // namespace quorvane::server
