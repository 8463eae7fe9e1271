#include "cgi/cgi_gateway.h"

#include <sys/stat.h>

#include <algorithm>

#include "cgi/cgi_environment.h"
#include "config/address_text.h"
#include "config/list_file.h"
#include "config/setting_keys.h"
#include "config/text.h"
#include "responses/error_pages.h"

namespace quorvane::cgi {

using responses::ErrorCode;

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::chrono::seconds TimeLimit(const config::Settings& settings) {
    return std::chrono::seconds(config::NumberValue(settings, config::setting::kScriptTimeout));
}

}  // namespace

ScriptDecision PrepareScript(const ScriptRequest& request, const responses::RequestScope& scope) {
    ScriptDecision decision{http::Response(), "\r\n"};
    if (config::ListsAddress(*scope.config.scriptsBarred, request.peerAddress)) {
        decision.action = responses::SendErrorPage(ErrorCode::k404_3, scope);
        decision.logView = " ** IP Blocked (CGI) **\r\n";
        return decision;
    }

    const responses::Resolution& resolution = request.resolution;
    if (resolution.found != responses::Found::kFile) {
        decision.action = responses::SendErrorPage(ErrorCode::k404_4, scope);
        return decision;
    }
    const std::string scriptPath = resolution.path.string();
    ScriptLaunch launch;
    if (request.kind == ScriptKind::kPerl) {
        if (!config::IsOn(scope.settings, config::setting::kEnablePerl)) {
            decision.action = responses::SendPerlDisabledPage(scope.now);
            return decision;
        }
        const std::string perl =
            config::ServerValue(scope.settings, config::setting::kPerlLocation);
        const std::string interpreter = scope.folder.Resolve(perl).string();
        if (!IsRegularFile(interpreter)) {
            decision.action = responses::SendPerlMissingPage(scope.now);
            return decision;
        }
        launch.argv = {interpreter, scriptPath};
    } else {
        launch.argv = {scriptPath};
    }
    launch.workFolder = resolution.folder.string();

    const bool post = request.method == "POST";
    launch.environment = BuildEnvironment({.post = post,
                                           .method = request.method,
                                           .request = &request.request,
                                           .query = request.query,
                                           .contentLength = request.contentLength,
                                           .hostName = scope.host.hostName,
                                           .serverPort = request.serverPort,
                                           .physicalDirectory = launch.workFolder,
                                           .requestDirectory = resolution.directory,
                                           .peerAddress = request.peerAddress,
                                           .scriptName = resolution.document,
                                           .remoteUser = request.remoteUser,
                                           .secure = request.secure});
    if (post) {
        launch.inputLength = request.contentLength;
        launch.input = "\r\n";  // the body goes before it once read
    }
    launch.timeLimit = TimeLimit(scope.settings);
    decision.action = std::move(launch);
    return decision;
}

namespace {

// A script's CGI header block: its fields, its Status line, and where its
// body begins. Nothing for output without one, or with a line that is no
// header line (a stray CR could split the reply).
struct HeaderBlock {
    http::Fields fields;
    std::string status;
    bool hasLocation = false;
    size_t bodyStart = 0;
};

std::optional<HeaderBlock> ReadHeaderBlock(std::string_view output) {
    HeaderBlock block;
    for (size_t position = 0;;) {
        const size_t end = output.find('\n', position);
        if (end == std::string_view::npos) {
            return std::nullopt;  // no empty line: no header block
        }
        std::string_view line = output.substr(position, end - position);
        position = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            block.bodyStart = position;
            return block;
        }
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0 ||
            std::any_of(line.begin(), line.end(), [](char c) {
                return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F;
            })) {
            return std::nullopt;
        }
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = config::TrimBlanks(line.substr(colon + 1));
        if (config::EqualsIgnoringCase(name, "Status")) {
            block.status = std::string(value);
        } else if (!config::EqualsIgnoringCase(name, "Connection") &&
                   !config::EqualsIgnoringCase(name, "Content-Length") &&
                   !config::EqualsIgnoringCase(name, "Transfer-Encoding")) {
            // The connection and the body's framing are the server's to
            // state: the whole output is at hand, so its length is known.
            block.hasLocation = block.hasLocation || config::EqualsIgnoringCase(name, "Location");
            block.fields.Add(name, value);
        }
    }
}

// Three digits, then the reason after a blank; an interim 1xx is no answer
// from a script.
bool IsFinalStatus(std::string_view status) {
    return status.size() >= 3 && (status.size() == 3 || status[3] == ' ') &&
           status.front() >= '2' && status.front() <= '5' &&
           std::all_of(status.begin(), status.begin() + 3,
                       [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<http::Response> ComposeCgiReply(std::string output) {
    if (config::StartsWith(output, "HTTP/")) {
        http::Response relayed;
        relayed.body = http::RawMessage{std::move(output)};
        return relayed;
    }
    std::optional<HeaderBlock> block = ReadHeaderBlock(output);
    if (!block) {
        return std::nullopt;
    }
    if (block->status.empty()) {
        block->status = block->hasLocation ? "302 Found" : "200 OK";
    }
    if (!IsFinalStatus(block->status)) {
        return std::nullopt;
    }
    http::Response reply(std::stoi(block->status.substr(0, 3)),
                         block->status.size() > 4 ? block->status.substr(4) : std::string());
    reply.fields = std::move(block->fields);
    // A 204 or 304 ends with its head: a body the script wrote anyway would
    // be read as the next reply on a kept connection.
    if (reply.AllowsBody()) {
        reply.body = output.substr(block->bodyStart);
    }
    return reply;
}

}  // namespace quorvane::cgi
