#include "server/request_handler.h"

#include <fcntl.h>

#include "cgi/cgi_gateway.h"
#include "config/address_text.h"
#include "config/setting_keys.h"
#include "config/text.h"
#include "dav/beneath.h"
#include "dav/webdav.h"
#include "http/entity_tags.h"
#include "http/escaping.h"
#include "responses/authentication.h"
#include "responses/document_server.h"
#include "responses/error_pages.h"
#include "responses/folder_answers.h"
#include "responses/folder_query.h"
#include "responses/folder_zip.h"
#include "responses/open_file.h"
#include "responses/share_resolution.h"
#include "server/access_log.h"
#include "server/limits.h"
#include "thumbnails/thumbnail_key.h"

namespace quorvane::server {

using http::Method;
using responses::ErrorCode;
using responses::Status;
namespace setting = config::setting;

namespace {

// The host a client named when it names this machine (its name, that name
// under .local, localhost, or the address the client reached), without its
// port; else that address, which the client can surely reach again. A Host
// line naming anything else is never repeated in a Location.
std::string RequestedHost(const http::Request& request, const std::string& hostName,
                          std::string_view localAddress) {
    const std::string named = request.Host().value_or("");
    std::string_view host = config::TrimBlanks(named);
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

// The path as the request named it, and its query, made fit for a Location.
std::string LocationOf(const http::RequestTarget& target, std::string_view pathSuffix = "") {
    std::string location =
        http::PercentEncodePath(http::PathText(target) + std::string(pathSuffix));
    if (!target.query.empty()) {
        location += "?" + http::PercentEncodeQuery(target.query);
    }
    return location;
}

// The request line as the access log records it; an unknown method leaves the
// record empty after the date.
std::string_view LoggedLine(const http::Request& request) {
    return request.method == Method::kOther ? std::string_view() : request.requestLine;
}

// What may follow "/s/" is a share link's token, which logs that others may
// read never hold: whatever a request spelled there (a token, one almost
// like it, one encoded) keeps four characters, up to the next blank.
std::string HideShareTokens(std::string_view text) {
    std::string shown;
    size_t at = 0;
    while (at < text.size()) {
        size_t marker = std::string_view::npos;
        size_t length = 0;
        for (std::string_view spelled : {"/s/", "/%73/", "/%53/"}) {
            for (size_t found = at;
                 (found = config::ToUpperAscii(text).find(config::ToUpperAscii(spelled), found)) !=
                 std::string_view::npos;) {
                if (found < marker) {
                    marker = found;
                    length = spelled.size();
                }
                break;
            }
        }
        if (marker == std::string_view::npos) {
            shown.append(text.substr(at));
            break;
        }
        const size_t start = marker + length;
        const size_t end = std::min(text.find_first_of(" \t", start), text.size());
        shown.append(text.substr(at, start - at));
        shown.append(text.substr(start, std::min<size_t>(4, end - start)));
        if (end - start > 4) {
            shown.append("...");
        }
        at = end;
    }
    return shown;
}

}  // namespace

RequestHandler::RequestHandler(const config::ProgramFolder& folder, responses::HostIdentity host,
                               config::RunOverrides overrides)
    : folder_(folder), host_(std::move(host)), overridden_(std::move(overrides)) {}

Outcome RequestHandler::Handle(const http::Request& request, const Peer& peer,
                               std::chrono::system_clock::time_point now) {
    snapshots_.Refresh();  // every edit reported so far applies to this request
    const config::Configuration config = overridden_.Apply(snapshots_.Take(folder_));
    Outcome outcome;
    outcome.logView = "\r\n";
    outcome.accessLogLine = AccessLogLine(peer.address, now, HideShareTokens(LoggedLine(request)));
    if (!config.Complete()) {
        // What guards the site cannot be read: nothing is answered from a guess.
        outcome.reply = responses::SendUnavailablePage(now);
        outcome.endsConnection = true;
    } else {
        const responses::RequestScope scope{folder_,    config,       host_,      now,
                                            snapshots_, &mediaTypes_, &listings_, &zips_};
        Exchange exchange{request, peer, scope, outcome};
        for (const auto step : kRoad) {
            Step taken = (this->*step)(exchange);
            if (auto* reply = std::get_if<http::Response>(&taken)) {
                outcome.reply = std::move(*reply);
                break;
            }
            if (auto* launch = std::get_if<cgi::ScriptLaunch>(&taken)) {
                outcome.script = std::move(*launch);
                break;
            }
            if (auto* wanted = std::get_if<dav::BodyWanted>(&taken)) {
                outcome.bodyWanted = wanted->limit;
                break;
            }
            if (auto* sink = std::get_if<std::unique_ptr<http::BodySink>>(&taken)) {
                outcome.sink = std::move(*sink);
                break;
            }
            if (auto* thumbnail = std::get_if<ThumbnailWanted>(&taken)) {
                outcome.thumbnail = std::move(*thumbnail);
                break;
            }
        }
    }
    outcome.readProblems = snapshots_.TakeProblems();
    return outcome;
}

RequestHandler::Step RequestHandler::RefuseBlocked(Exchange& exchange) {
    if (!config::ListsAddress(*exchange.scope.config.blocked, exchange.peer.address)) {
        return GoOn{};
    }
    exchange.outcome.logView = " ** IP Blocked **\r\n";
    exchange.outcome.endsConnection = true;
    return responses::SendErrorPage(ErrorCode::k404_1, exchange.scope);
}

RequestHandler::Step RequestHandler::RedirectSite(Exchange& exchange) {
    const config::Settings& settings = exchange.scope.settings;
    if (!config::StartsWith(config::ServerValue(settings, setting::kSiteLocation), "Redir")) {
        return GoOn{};
    }
    // Every request is sent on, before anything is parsed; none is recorded.
    exchange.outcome.accessLogLine.reset();
    exchange.outcome.endsConnection = true;
    return responses::SendRedirectPage(config::ServerValue(settings, setting::kRootDirectory),
                                       exchange.scope.now);
}

// What the head asks for that cannot be served at all.
RequestHandler::Step RequestHandler::RefuseUnserviceable(Exchange& exchange) {
    const http::Request& request = exchange.request;
    const auto now = exchange.scope.now;
    exchange.outcome.endsConnection = true;  // unless it goes on below
    switch (request.problem) {
        case http::Problem::kHeadTooLarge:
            return responses::SendRequestErrorPage(Status::kHeaderFieldsTooLarge, now);
        case http::Problem::kMalformed:
            return responses::SendRequestErrorPage(Status::kBadRequest, now);
        case http::Problem::kVersionNotSupported:
            return responses::SendRequestErrorPage(Status::kVersionNotSupported, now);
        case http::Problem::kNone:
            break;
    }
    if (request.method == Method::kOther) {
        exchange.outcome.logView = " For Document: \r\n";
        return responses::SendNotImplementedPage(now);
    }
    if ((!request.http10 && request.HostLines() != 1) ||
        request.body.kind == http::BodyFraming::Kind::kInvalid) {
        return responses::SendRequestErrorPage(Status::kBadRequest, now);
    }
    // Only bodies this server reads itself may come chunked; a script is
    // told its body's length.
    if (request.body.kind == http::BodyFraming::Kind::kChunked &&
        !dav::IsDavMethod(request.method)) {
        return responses::SendRequestErrorPage(Status::kLengthRequired, now);
    }
    if (!request.target) {
        return responses::SendMalformedUrlPage(now);
    }
    if (request.method == Method::kPost && request.body.length > kBodyLimit) {
        return responses::SendTooLargePage(now);
    }
    exchange.outcome.endsConnection = false;
    return GoOn{};
}

RequestHandler::Step RequestHandler::MoveToHttps(Exchange& exchange) {
    const Peer& peer = exchange.peer;
    if (peer.secure || peer.httpsPort == 0 ||
        !config::IsOn(exchange.scope.settings, setting::kRedirectToHttps)) {
        return GoOn{};
    }
    std::string location =
        "https://" + RequestedHost(exchange.request, host_.hostName, peer.localAddress);
    if (peer.httpsPort != 443) {
        location += ":" + std::to_string(peer.httpsPort);
    }
    location += LocationOf(*exchange.request.target);
    return responses::SendSecureRedirectPage(location, exchange.scope.now);
}

responses::ResolveContext RequestHandler::ContextFor(const responses::RequestScope& scope,
                                                     const config::OwnFiles* own) {
    return {*scope.config.directories,
            *scope.config.defaultDocuments,
            scope.settings,
            folder_,
            own,
            &resolveCache_};
}

namespace {

// A share link's request as the log keeps it: the path below the link built
// from its segments, any that looks like a token cut to four characters, and
// no query, which could repeat the token.
std::string SharedRequestLine(const http::Request& request) {
    std::string path = "/" + std::string(responses::kSharePrefix) + "/";
    const std::vector<std::string>& segments = request.target->segments;
    for (size_t i = 1; i < segments.size(); ++i) {
        path += (i > 1 ? "/" : "") + (config::IsShareToken(segments[i])
                                          ? segments[i].substr(0, 4) + "..."
                                          : http::PercentEncodePath(segments[i]));
    }
    if (request.target->endsWithSlash) {
        path += "/";
    }
    if (!request.target->query.empty()) {
        path += "?...";
    }
    const std::string_view line = request.requestLine;
    const size_t version = line.rfind(' ');
    return request.methodName + " " + path +
           std::string(version == std::string_view::npos ? "" : line.substr(version));
}

}  // namespace

// "/s/TOKEN...": whoever holds a link may read what it shares, and no more.
RequestHandler::Step RequestHandler::OpenShareLink(Exchange& exchange) {
    const http::Request& request = exchange.request;
    const std::vector<std::string>& segments = request.target->segments;
    if (segments.size() < 2 || segments[0] != responses::kSharePrefix ||
        !config::IsShareToken(segments[1])) {
        return GoOn{};
    }
    const responses::RequestScope& scope = exchange.scope;
    exchange.token = segments[1];
    exchange.outcome.accessLogLine =
        AccessLogLine(exchange.peer.address, scope.now, SharedRequestLine(request));
    const config::ShareLink* link =
        scope.config.shares ? config::FindShareLink(*scope.config.shares, exchange.token, scope.now)
                            : nullptr;
    if (link == nullptr) {
        return responses::SendErrorPage(ErrorCode::k404, scope);
    }
    if (request.method != Method::kGet && request.method != Method::kHead) {
        http::Response refused =
            responses::SendRequestErrorPage(Status::kMethodNotAllowed, scope.now);
        refused.fields.Add("Allow", "GET, HEAD");
        return refused;
    }
    exchange.share = *link;
    const auto own = snapshots_.OwnFilesOf(folder_);
    exchange.resolution =
        responses::ResolveShared(*link, exchange.token, {segments.begin() + 2, segments.end()},
                                 request.target->endsWithSlash, ContextFor(scope, own.get()));
    return GoOn{};
}

std::optional<http::Response> RequestHandler::CountDownload(Exchange& exchange) {
    if (!exchange.share || exchange.request.method != Method::kGet) {
        return std::nullopt;
    }
    config::SharesFile shares(folder_.ListFilePath(config::kSharesList));
    switch (shares.TakeDownload(exchange.share->tokenHash, exchange.scope.now)) {
        case config::SharesFile::Taken::kTaken:
            return std::nullopt;
        case config::SharesFile::Taken::kGone:
            return responses::SendErrorPage(ErrorCode::k404, exchange.scope);
        case config::SharesFile::Taken::kFailed:
            break;
    }
    // A download that cannot be counted is not given.
    return responses::SendUnavailablePage(exchange.scope.now);
}

// WebDAV's methods act on the entry named, whatever its name looks like.
RequestHandler::Step RequestHandler::ResolveTarget(Exchange& exchange) {
    if (exchange.resolution) {
        return GoOn{};  // a share link's
    }
    const auto own = snapshots_.OwnFilesOf(folder_);
    const responses::ResolveContext context = ContextFor(exchange.scope, own.get());
    const http::RequestTarget& target = *exchange.request.target;
    exchange.resolution = dav::IsDavMethod(exchange.request.method)
                              ? responses::ResolveEntry(target, context)
                              : responses::Resolve(target, context);
    return GoOn{};
}

// Access is decided on where the request landed, never on how it was spelled.
RequestHandler::Step RequestHandler::Authenticate(Exchange& exchange) {
    if (auto refused = CheckCredentials(exchange, exchange.resolution->policy)) {
        return std::move(*refused);
    }
    return GoOn{};
}

std::optional<http::Response> RequestHandler::CheckCredentials(Exchange& exchange,
                                                               const responses::Policy& policy) {
    if (!policy.secure) {
        return std::nullopt;
    }
    if (exchange.user) {
        // Signed in, yet perhaps not one of the users this folder names:
        // asked again, so another user may sign in.
        return policy.Admits(*exchange.user)
                   ? std::nullopt
                   : std::optional(responses::SendAuthChallenge(policy.realm, exchange.scope));
    }
    const Peer& peer = exchange.peer;
    exchange.outcome.passwordsInClear = !peer.secure && !peer.fromThisComputer;
    const std::optional<std::string> authorization = exchange.request.Authorization();
    // Wrong credentials count once per request, however many places it reaches.
    if (!authorization || exchange.signInFailed) {
        return responses::SendAuthChallenge(policy.realm, exchange.scope);
    }
    // A client that sent too many wrong passwords waits, whatever it sends now.
    const std::string client = config::ClientGroup(peer.address);
    const auto now = exchange.scope.now;
    if (const auto wait = signIns_.Wait(client, now); wait.count() > 0) {
        return responses::SendTooManySignInsPage(std::chrono::ceil<std::chrono::seconds>(wait),
                                                 now);
    }
    const auto& users = exchange.scope.config.users;
    exchange.user = credentials_.Find(*authorization, users, now);
    if (!exchange.user) {
        exchange.user = responses::AuthenticateRequest(*authorization, *users);
        if (exchange.user) {
            credentials_.Remember(*authorization, users, *exchange.user, now);
        }
    }
    if (exchange.user) {
        return CheckCredentials(exchange, policy);
    }
    exchange.signInFailed = true;
    if (const auto wait = signIns_.Failed(client, now); wait.count() > 0) {
        exchange.outcome.signInsHeld = SignInsHeld{client, signIns_.Failures(client),
                                                   std::chrono::ceil<std::chrono::seconds>(wait)};
    }
    return responses::SendAuthChallenge(policy.realm, exchange.scope);
}

namespace {

// A write sent from a page of another site (or from a sandboxed page, whose
// origin is "null") is refused: a visitor's browser must not be made to
// write with the visitor's credentials.
bool CrossSite(const http::Request& request) {
    const std::optional<std::string> origin = request.Origin();
    if (!origin) {
        return false;
    }
    const size_t scheme = origin->find("://");
    return scheme == std::string::npos ||
           !config::EqualsIgnoringCase(origin->substr(scheme + 3), request.Host().value_or(""));
}

}  // namespace

RequestHandler::Step RequestHandler::AnswerWebDav(Exchange& exchange) {
    const http::Request& request = exchange.request;
    if (!dav::IsDavMethod(request.method)) {
        return GoOn{};
    }
    std::string named = http::PathText(*request.target);
    if (const std::optional<std::string> destination = request.Destination()) {
        named += " -> " + *destination;
    }
    exchange.outcome.logView = " " + request.methodName + ": " +
                               config::LoggableText(HideShareTokens(named), kLoggedTextLimit) +
                               "\r\n";
    if (http::Writes(request.method) && CrossSite(request)) {
        return responses::SendRequestErrorPage(Status::kForbidden, exchange.scope.now);
    }
    const auto own = snapshots_.OwnFilesOf(folder_);
    const responses::ResolveContext context = ContextFor(exchange.scope, own.get());
    dav::DavRequest dav{request,
                        *exchange.resolution,
                        exchange.scope,
                        context,
                        locks_,
                        [&](const http::RequestTarget& target)
                            -> std::variant<responses::Resolution, http::Response> {
                            responses::Resolution destination =
                                responses::ResolveEntry(target, context);
                            if (auto refused = CheckCredentials(exchange, destination.policy)) {
                                return std::move(*refused);
                            }
                            return destination;
                        }};
    dav::Answer answer = dav::AnswerDav(dav);
    if (auto* wanted = std::get_if<dav::BodyWanted>(&answer)) {
        return *wanted;
    }
    if (auto* sink = std::get_if<std::unique_ptr<http::BodySink>>(&answer)) {
        return std::move(*sink);
    }
    return std::move(std::get<http::Response>(answer));
}

// A folder is named with its final slash, so its pages' relative links
// resolve inside it.
RequestHandler::Step RequestHandler::RedirectFolder(Exchange& exchange) {
    const responses::Resolution& resolution = *exchange.resolution;
    const bool namesFolder =
        resolution.found == responses::Found::kFolder ||
        (resolution.found == responses::Found::kFile && resolution.defaultDocument);
    if (!namesFolder || exchange.request.target->endsWithSlash) {
        return GoOn{};
    }
    return responses::SendMovedPage(LocationOf(*exchange.request.target, "/"), exchange.scope.now);
}

// The run rule, the CGI switch; the barred list comes with the script.
RequestHandler::Step RequestHandler::Classify(Exchange& exchange) {
    const responses::Resolution& resolution = *exchange.resolution;
    const responses::Policy& policy = resolution.policy;
    exchange.kind = resolution.document.empty()
                        ? cgi::ScriptKind::kDocument
                        : cgi::ClassifyScript(resolution.document, policy.scripts, policy.programs,
                                              policy.insideScriptFolder);
    if (exchange.kind == cgi::ScriptKind::kRefused) {
        return responses::SendErrorPage(ErrorCode::k404_4, exchange.scope);
    }
    if (exchange.kind != cgi::ScriptKind::kDocument &&
        !config::IsOn(exchange.scope.settings, setting::kCgiEnabled)) {
        return responses::SendErrorPage(ErrorCode::k404_2, exchange.scope);
    }
    return GoOn{};
}

RequestHandler::Step RequestHandler::LaunchScript(Exchange& exchange) {
    if (exchange.kind == cgi::ScriptKind::kDocument) {
        return GoOn{};
    }
    const http::Request& request = exchange.request;
    const Peer& peer = exchange.peer;
    cgi::ScriptDecision decision = cgi::PrepareScript(
        {.method = request.methodName,
         .request = request,
         .contentLength = request.method == Method::kPost ? request.body.length : 0,
         .resolution = *exchange.resolution,
         .kind = exchange.kind,
         .query = request.target->query,
         .peerAddress = peer.address,
         .serverPort = peer.serverPort,
         .remoteUser = std::move(exchange.user),
         .secure = peer.secure},
        exchange.scope);
    exchange.outcome.logView = std::move(decision.logView);
    if (auto* launch = std::get_if<cgi::ScriptLaunch>(&decision.action)) {
        return std::move(*launch);
    }
    return std::move(std::get<http::Response>(decision.action));
}

namespace {

// The log view names the document as the request did; a terminal must never
// receive the request's control characters.
std::string DocumentLogView(const responses::Resolution& resolution, const std::string& query) {
    const std::string named =
        resolution.document.empty() || resolution.defaultDocument ? "Default" : resolution.document;
    return " For Document: " +
           config::LoggableText(query.empty() ? named : named + "?" + query, kLoggedTextLimit) +
           "\r\n";
}

}  // namespace

// The query as the log view shows it: none through a share link, where it
// could repeat the token.
std::string RequestHandler::LoggedQuery(const Exchange& exchange) {
    return exchange.share ? std::string() : exchange.request.target->query;
}

bool RequestHandler::ModernListing(const Exchange& exchange) {
    const config::Settings& settings = exchange.scope.settings;
    return config::IsOn(settings, setting::kDirectoryBrowsing) &&
           config::IsModernListing(config::ServerValue(settings, setting::kListingStyle));
}

// An entry a walk finds is admitted when a request naming it would reach that
// very entry and this visitor could have it there. A zip still being sent
// keeps these rules, so they hold their own copies of what they read.
responses::WalkAdmit RequestHandler::WalkRules(Exchange& exchange, bool contents) {
    // Credentials offered to an open folder still open its secure subfolders.
    if (!exchange.user && exchange.request.Authorization()) {
        responses::Policy asking;
        asking.secure = true;
        CheckCredentials(exchange, asking);
    }
    return [this, config = exchange.scope.config, own = snapshots_.OwnFilesOf(folder_),
            start = exchange.request.target->segments, user = exchange.user,
            contents](const std::vector<std::string>& below, const struct stat& info, bool folder) {
        http::RequestTarget target{start, "", folder};
        target.segments.insert(target.segments.end(), below.begin(), below.end());
        const responses::ResolveContext context{*config.directories, *config.defaultDocuments,
                                                *config.settings,    folder_,
                                                own.get(),           &resolveCache_};
        const responses::Resolution at = responses::ResolveEntry(target, context);
        struct stat reached {};
        if (at.found == responses::Found::kNothing || ::stat(at.path.c_str(), &reached) != 0 ||
            reached.st_dev != info.st_dev || reached.st_ino != info.st_ino) {
            return false;  // hidden, ours, or another folder is served at that name
        }
        const responses::Policy& policy = at.policy;
        if (policy.secure && !(user && policy.Admits(*user))) {
            return false;
        }
        return folder || !contents ||
               cgi::ClassifyScript(at.document, policy.scripts, policy.programs,
                                   policy.insideScriptFolder) == cgi::ScriptKind::kDocument;
    };
}

// A walk of a shared folder admits what the link reaches and, for a zip,
// what may leave as bytes where it lies.
responses::WalkAdmit RequestHandler::ShareWalkRules(Exchange& exchange, bool contents) {
    const responses::RequestScope& scope = exchange.scope;
    const auto own = snapshots_.OwnFilesOf(folder_);
    return [this, config = scope.config,
            own = responses::OwnFilesWithKey(folder_, scope.settings, own.get()),
            start = exchange.resolution->path,
            contents](const std::vector<std::string>& below, const struct stat& info, bool folder) {
        if (own.Contains(info)) {
            return false;
        }
        if (folder || !contents) {
            return true;
        }
        std::filesystem::path lying = start;
        for (const std::string& segment : below) {
            lying /= segment;
        }
        const responses::ResolveContext context{*config.directories, *config.defaultDocuments,
                                                *config.settings, folder_};
        return cgi::ClassifyScript(below.back(), false, false,
                                   responses::SharedPolicyAt(lying, context).insideScriptFolder) ==
               cgi::ScriptKind::kDocument;
    };
}

// A shared folder's page lists only what a request through the link would
// reach: an entry whose link leads out of the shared folder is left out.
std::function<bool(const std::string&)> RequestHandler::ShareListed(Exchange& exchange) {
    const responses::Resolution& at = *exchange.resolution;
    const auto own = snapshots_.OwnFilesOf(folder_);
    return [base = std::make_shared<config::FileHandle>(dav::OpenBase(at.base)), below = at.below,
            own = responses::OwnFilesWithKey(folder_, exchange.scope.settings, own.get())](
               const std::string& name) {
        std::vector<std::string> segments = below;
        segments.push_back(name);
        const config::FileHandle entry = dav::OpenBeneath(base->Get(), segments, O_PATH);
        const std::optional<struct stat> info = entry ? dav::StatusOf(entry.Get()) : std::nullopt;
        return info && !own.Contains(*info);
    };
}

// A folder with no default document, on the modern style: its page, its
// JSON, a search of its tree, or the folder as zip.
RequestHandler::Step RequestHandler::ServeFolder(Exchange& exchange) {
    const responses::Resolution& resolution = *exchange.resolution;
    if (resolution.found != responses::Found::kFolder || !resolution.document.empty() ||
        !(ModernListing(exchange) || exchange.share)) {
        return GoOn{};
    }
    exchange.outcome.logView = DocumentLogView(resolution, LoggedQuery(exchange));
    const responses::Policy& policy = resolution.policy;
    responses::FolderAsk ask{.resolution = resolution,
                             .request = exchange.request,
                             .scope = exchange.scope,
                             .mayUpload = policy.uploads,
                             .mayChange = policy.changes,
                             .thumbnailable = thumbnails::IsThumbnailable};
    if (exchange.share) {
        ask.shown = ShareWalkRules(exchange, false);
        ask.taken = ShareWalkRules(exchange, true);
        ask.listed = ShareListed(exchange);
        ask.top = responses::SharePath(exchange.token) + "/";
        ask.topName = resolution.base.filename().string();
        if (responses::ParseListingQuery(exchange.request.target->query).format ==
            responses::ListingFormat::kZip) {
            if (auto ended = CountDownload(exchange)) {
                return std::move(*ended);
            }
        }
    } else {
        ask.shown = WalkRules(exchange, false);
        ask.taken = WalkRules(exchange, true);
    }
    http::Response reply = responses::AnswerFolder(ask);
    if (exchange.share) {
        // A link followed from a README's page must not carry the token away;
        // nothing stays in a cache once the link is revoked.
        reply.fields.Add("Referrer-Policy", "no-referrer");
        reply.fields.Add("Cache-Control", "no-store");
        return reply;
    }
    // Signed in, a search or zip of an open folder may gather what secure
    // folders below it hold.
    if (policy.secure || exchange.user) {
        reply.fields.Add("Cache-Control", "no-store");
    }
    return reply;
}

// An image asked for as `?format=thumbnail` beside the modern page: made
// from the very file this request may read, or 304 when the client's copy
// is current.
RequestHandler::Step RequestHandler::ServeThumbnail(Exchange& exchange) {
    const responses::Resolution& resolution = *exchange.resolution;
    if (resolution.found != responses::Found::kFile || !resolution.examined ||
        !(ModernListing(exchange) || exchange.share) ||
        !thumbnails::IsThumbnailable(resolution.document) ||
        responses::ParseListingQuery(exchange.request.target->query).format !=
            responses::ListingFormat::kThumbnail) {
        return GoOn{};
    }
    exchange.outcome.logView = DocumentLogView(resolution, LoggedQuery(exchange));
    std::optional<responses::OpenFile> image =
        responses::OpenExaminedFile(resolution.path, resolution.examined->Get(), resolution.info);
    if (!image) {
        return responses::SendErrorPage(ErrorCode::k404, exchange.scope);
    }
    const std::string tag = thumbnails::ThumbnailETag(image->info);
    http::Response reply =
        responses::StandardResponse({.contentType = thumbnails::kThumbnailContentType});
    reply.fields.Add("ETag", tag);
    // Private: a thumbnail of a secure image stays with its visitor.
    reply.fields.Add("Cache-Control", resolution.policy.secure ? "no-store" : "private, no-cache");
    reply.fields.Add("X-Content-Type-Options", "nosniff");
    const std::optional<std::string> known = exchange.request.ConditionFields().ifNoneMatch;
    if (known && http::TagListMatches(*known, tag, http::TagComparison::kWeak)) {
        reply.code = static_cast<int>(Status::kNotModified);
        return reply;
    }
    return ThumbnailWanted{std::make_shared<config::FileHandle>(std::move(image->file)),
                           image->info, std::move(reply)};
}

RequestHandler::Step RequestHandler::Serve(Exchange& exchange) {
    const responses::Resolution& resolution = *exchange.resolution;
    const http::Request& request = exchange.request;
    exchange.outcome.logView = DocumentLogView(resolution, LoggedQuery(exchange));
    const bool counted = exchange.share && exchange.share->downloadsLeft;
    http::Response reply = responses::ServeDocument(
        resolution, {.request = request, .get = request.method == Method::kGet, .ranges = !counted},
        exchange.scope);
    if (exchange.share) {
        if (reply.code == static_cast<int>(Status::kOk) &&
            resolution.found == responses::Found::kFile) {
            if (auto ended = CountDownload(exchange)) {
                return std::move(*ended);
            }
        }
        if (request.target->segments.size() == 2) {
            // The link names no file: the browser is told the file's own name.
            reply.fields.Add("Content-Disposition",
                             responses::AttachmentDisposition(resolution.document, "inline"));
        }
        if (counted && reply.fields.Has("Accept-Ranges")) {
            reply.fields.Set("Accept-Ranges", "none");  // every body is a whole copy
        }
        // Whatever the shared file holds, it does not act as this site.
        reply.fields.Add("Cache-Control", "no-store");
        reply.fields.Add("Content-Security-Policy", "sandbox");
        reply.fields.Add("X-Content-Type-Options", "nosniff");
        reply.fields.Add("Referrer-Policy", "no-referrer");
        return reply;
    }
    if (resolution.policy.secure) {
        // A page behind a password must not be shown from the browser's
        // cache to whoever sits at that computer next.
        reply.fields.Add("Cache-Control", "no-store");
    }
    if (resolution.policy.TakesWrites()) {
        // A page or picture a visitor uploaded must not act as this site
        // with the next visitor's credentials.
        reply.fields.Add("Content-Security-Policy", "sandbox");
        reply.fields.Add("X-Content-Type-Options", "nosniff");
    }
    return reply;
}

}  // namespace quorvane::server
