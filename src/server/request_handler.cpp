#include "server/request_handler.h"

#include <algorithm>

#include "cgi/cgi_gateway.h"
#include "config/list_file.h"
#include "config/text.h"
#include "responses/document_server.h"
#include "responses/error_pages.h"
#include "responses/listing_pages.h"
#include "responses/request_head.h"
#include "responses/virtual_directories.h"
#include "server/access_log.h"

namespace quorvane::server {

using responses::ErrorCode;

namespace {

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
    return config::ToUpperAscii(text).find(config::ToUpperAscii(part)) != std::string::npos;
}

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

    if (IsListed(*scope.List(config::kBlockList, 1), incoming.peerAddress)) {
        outcome.reply = responses::SendErrorPage(ErrorCode::k404_1, scope);
        outcome.logView = " ** IP Blocked **\r\n";
        return outcome;
    }
    if (config::StartsWith(settings.Read("HomePage", "SiteLocation", "Local"), "Redir")) {
        outcome.reply = responses::SendRedirectPage(
            settings.Read("HomePage", "RootDirectory", "www"), incoming.now);
        outcome.logView = "\r\n";
        return outcome;
    }

    Request request = ParseRequest(incoming.head);
    if (request.malformed) {
        outcome.reply = responses::SendMalformedUrlPage(incoming.now);
        outcome.logView = "\r\n";
        return outcome;
    }
    outcome.accessLogLine = AccessLogLine(incoming.peerAddress, incoming.now, request.requestLine);
    outcome.sendBody = request.method != Method::kHead;

    if (request.method == Method::kOther) {
        outcome.reply = responses::SendNotImplementedPage(incoming.now);
        outcome.logView = " For Document: \r\n";
        return outcome;
    }
    if (incoming.bodyTooLarge) {
        outcome.reply = responses::SendTooLargePage(incoming.now);
        outcome.logView = "\r\n";
        return outcome;
    }
    Outcome dispatched = Dispatch(request, incoming, scope);
    dispatched.accessLogLine = std::move(outcome.accessLogLine);
    dispatched.sendBody = outcome.sendBody;
    return dispatched;
}

Outcome RequestHandler::Dispatch(Request& request, const IncomingRequest& incoming,
                                 const responses::RequestScope& scope) const {
    const config::Settings& settings = scope.settings;
    Outcome outcome;

    // A name holding ".exe", ".pl" or ".cgi" anywhere is a script candidate.
    const bool exeName = ContainsIgnoringCase(request.document, ".exe");
    const bool scriptName = ContainsIgnoringCase(request.document, ".pl") ||
                            ContainsIgnoringCase(request.document, ".cgi");
    if (exeName || scriptName) {
        std::string directory = request.directory;
        const auto record =
            responses::FindVirtualDirectory(*scope.List(config::kDirsList, 5), directory);
        std::string physical;
        bool scriptAllowed = false;
        bool exeAllowed = false;
        if (record) {
            physical = record->folder;
            scriptAllowed = record->script == "Yes";
            exeAllowed = record->exe == "Yes";
        } else {
            physical = settings.Read("HomePage", "RootDirectory", "www") + directory;
            scriptAllowed = config::FlagNotZero(settings.Read("HomePage", "ScriptAllowed", "0"));
            exeAllowed = config::FlagNotZero(settings.Read("HomePage", "EXEAllowed", "0"));
        }
        if ((exeName && exeAllowed) || (scriptName && scriptAllowed)) {
            if (!config::FlagNotZero(settings.Read("CGI", "Enabled", "0"))) {
                outcome.reply = responses::SendErrorPage(ErrorCode::k404_2, scope);
                outcome.logView = "\r\n";
                return outcome;
            }
            static constexpr std::string_view kMethodNames[] = {"GET", "HEAD", "POST", ""};
            cgi::ScriptDecision decision =
                cgi::PrepareScript({.method = kMethodNames[static_cast<int>(request.method)],
                                    .head = incoming.head,
                                    .body = incoming.body,
                                    .directory = directory,
                                    .scriptName = request.document,
                                    .query = request.query,
                                    .physicalDirectory = folder_.Resolve(physical).string(),
                                    .record = record,
                                    .peerAddress = incoming.peerAddress,
                                    .serverPort = incoming.serverPort},
                                   scope);
            outcome.logView = std::move(decision.logView);
            if (auto* launch = std::get_if<cgi::ScriptLaunch>(&decision.action)) {
                outcome.script = std::move(*launch);
            } else {
                outcome.reply = std::move(std::get<responses::Reply>(decision.action));
            }
            return outcome;
        }
    }

    outcome.logView = " For Document: " + request.document +
                      (request.query.empty() ? "" : "?" + request.query) + "\r\n";
    responses::DocumentRequest document{
        request.directory, request.document,
        std::string(responses::GetHeaderValue(incoming.head, "Authorization").value_or(""))};
    outcome.reply = responses::ServeDocument(document, scope);
    return outcome;
}

}  // namespace quorvane::server
