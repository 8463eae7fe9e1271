#include "cgi/cgi_environment.h"

#include <cctype>

#include "config/text.h"
#include "version.h"

namespace quorvane::cgi {

namespace {

// Headers that have variables of their own, or that a script must not see:
// the credentials, and Proxy, whose HTTP_PROXY would steer the script's own
// outgoing requests to whoever sent it.
bool HasOwnVariable(std::string_view name) {
    for (std::string_view own :
         {"Authorization", "Content-Type", "Content-Length", "Accept", "Proxy"}) {
        if (config::EqualsIgnoringCase(name, own)) {
            return true;
        }
    }
    return false;
}

// HTTP_ plus the name in upper case with "-" as "_", for every other header.
// A name holding "_" is left out: it would share its variable with the name
// spelled with "-", so a client's X_Forwarded_For could pass for a proxy's
// X-Forwarded-For.
void AddHeaderVariables(const http::Request& request, std::vector<std::string>& environment) {
    for (const auto& [name, value] : request.fields) {
        bool token = true;
        for (char c : name) {
            token = token && (std::isalnum(static_cast<unsigned char>(c)) || c == '-');
        }
        if (!token || HasOwnVariable(name)) {
            continue;
        }
        std::string variable = "HTTP_" + config::ToUpperAscii(name);
        for (char& c : variable) {
            c = c == '-' ? '_' : c;
        }
        environment.push_back(variable + "=" + value);
    }
}

}  // namespace

std::vector<std::string> BuildEnvironment(const EnvironmentInputs& in) {
    std::vector<std::string> environment;
    auto add = [&](std::string_view name, std::string_view value) {
        environment.push_back(std::string(name) + "=" + std::string(value));
    };
    add("SERVER_SOFTWARE", std::string(kServerName) + " " + std::string(kVersion));
    add("SERVER_NAME", in.hostName);
    add("SERVER_PORT", std::to_string(in.serverPort));
    if (in.post) {
        add("QUERY_STRING", "");
        add("CONTENT_LENGTH", std::to_string(in.contentLength));
        const std::string type = in.request->ContentType().value_or("");
        add("CONTENT_TYPE", type.empty() ? "application/x-www-form-urlencoded" : type);
    } else {
        add("QUERY_STRING", in.query);
        add("CONTENT_LENGTH", std::to_string(in.query.size()));
    }
    add("GATEWAY_INTERFACE", "CGI/1.1");
    add("HTTP_ACCEPT", in.request->Accept().value_or(""));
    add("PATH_TRANSLATED", in.physicalDirectory);
    add("REMOTE_ADDR", in.peerAddress);
    add("REQUEST_METHOD", in.method);
    add("SCRIPT_NAME", in.scriptName);
    add("SERVER_PROTOCOL", "HTTP/1.1");
    add("PATH_INFO", in.requestDirectory);
    add("PATH", "/usr/local/bin:/usr/bin:/bin");
    AddHeaderVariables(*in.request, environment);
    if (in.remoteUser) {
        add("AUTH_TYPE", "Basic");
        add("REMOTE_USER", *in.remoteUser);
    }
    if (in.secure) {
        add("HTTPS", "on");
    }
    return environment;
}

}  // namespace quorvane::cgi
