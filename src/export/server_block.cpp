#include "export/server_block.h"

#include <algorithm>
#include <cmath>

#include "config/address_text.h"
#include "config/setting_keys.h"
#include "config/text.h"
#include "export/nginx_syntax.h"

namespace quorvane::exporting {

namespace fs = std::filesystem;
namespace setting = config::setting;

namespace {

// Lines of nginx text at a depth of braces; the first value that cannot be
// written stays as the problem.
class Conf {
  public:
    explicit Conf(std::string& problem) : problem_(problem) {}

    std::string Q(std::string_view value) {
        std::optional<std::string> quoted = Quoted(value);
        if (!quoted && problem_.empty()) {
            problem_ = "nginx cannot hold \"" + std::string(value) +
                       "\" as it stands (a \"$\" or a control character)";
        }
        return quoted.value_or("\"\"");
    }
    // A literal followed by a variable, as one quoted argument.
    std::string QWith(std::string_view literal, std::string_view variable) {
        std::string quoted = Q(literal);
        quoted.insert(quoted.size() - 1, variable);
        return quoted;
    }
    std::string Re(std::string_view value) {
        std::optional<std::string> pattern = RegexLiteral(value);
        if (!pattern) {
            Q(value);  // states the problem
        }
        return pattern.value_or("");
    }
    void Line(std::string_view text) { text_.append(depth_ * 4, ' ').append(text).push_back('\n'); }
    void Open(std::string_view head) {
        Line(std::string(head) + " {");
        ++depth_;
    }
    void Close() {
        --depth_;
        Line("}");
    }
    const std::string& Text() const { return text_; }

  private:
    std::string& problem_;
    std::string text_;
    size_t depth_ = 0;
};

std::string Page(std::string_view name) {
    return std::string(kPagesUrl) + std::string(name);
}

// Which page a status gets where the server answers it with one of its own.
struct ErrorPages {
    std::string forbidden = Page("4041.htm");  // a blocked address
    std::string missing = Page("404.htm");
};

void WriteErrorPages(Conf& conf, const ErrorPages& pages) {
    conf.Line("error_page 401 " + Page("401.htm") + ";");
    conf.Line("error_page 403 " + pages.forbidden + ";");
    conf.Line("error_page 404 " + pages.missing + ";");
    conf.Line("error_page 500 502 503 504 " + Page("500.htm") + ";");
    // The server sends a document to a POST as to a GET; nginx's is 405.
    conf.Line("error_page 405 =200 $uri;");
}

// Where the server binds: "Network" is every address of both families,
// "Local" the loopback of both, anything else that address or host name.
std::vector<std::string> ListenLines(const config::Settings& settings, long port) {
    const std::string value = config::ServerValue(settings, setting::kListen);
    const std::string_view listen = config::TrimBlanks(value);
    const std::string at = ":" + std::to_string(port);
    if (listen.empty() || config::EqualsIgnoringCase(listen, "Network")) {
        return {std::to_string(port), "[::]" + at};
    }
    if (config::EqualsIgnoringCase(listen, "Local")) {
        return {"127.0.0.1" + at, "[::1]" + at};
    }
    const bool v6 = listen.find(':') != std::string_view::npos;
    return {(v6 ? "[" + std::string(listen) + "]" : std::string(listen)) + at};
}

void WriteListen(Conf& conf, const SiteFacts& facts) {
    const config::Settings& settings = *facts.config.settings;
    for (const std::string& where :
         ListenLines(settings, config::NumberValue(settings, setting::kPort))) {
        conf.Line("listen " + where + ";");
    }
    const long https = config::NumberValue(settings, setting::kHttpsPort);
    if (https == 0 || !facts.certificate) {
        return;
    }
    for (const std::string& where : ListenLines(settings, https)) {
        conf.Line("listen " + where + " ssl;");
    }
    conf.Line("ssl_certificate " + conf.Q(facts.certificate->first.string()) + ";");
    conf.Line("ssl_certificate_key " + conf.Q(facts.certificate->second.string()) + ";");
    if (config::IsOn(settings, setting::kRedirectToHttps)) {
        conf.Open("if ($scheme = http)");
        conf.Line("return 307 https://$host:" + std::to_string(https) + "$request_uri;");
        conf.Close();
    }
}

void WriteBlocked(Conf& conf, const std::vector<std::string>& addresses) {
    for (const std::string& address : addresses) {
        if (IsAddressRule(address)) {
            conf.Line("deny " + config::CanonicalAddress(address) + ";");
        }
    }
}

void WritePagesLocation(Conf& conf, const fs::path& target) {
    conf.Open("location ^~ " + std::string(kPagesUrl));
    conf.Line("internal;");
    conf.Line("allow all;");
    conf.Line("alias " + conf.Q((target / kPagesFolder).string() + "/") + ";");
    conf.Close();
    // Where listings are off, a folder without a default document ends here.
    conf.Open("location = " + Page("no-listing"));
    conf.Line("internal;");
    conf.Line("return 404;");
    conf.Close();
}

std::string ExpiresLine(const config::Settings& settings) {
    if (!config::IsOn(settings, setting::kContentExpires)) {
        return {};
    }
    if (config::StartsWith(config::ServerValue(settings, setting::kInterval), "Immed")) {
        return "expires 0;";
    }
    const long count =
        std::lround(config::LeadingNumber(config::ServerValue(settings, setting::kDuration)));
    const std::string unit = config::ServerValue(settings, setting::kIntervalType);
    if (config::StartsWith(unit, "Days")) {
        return "expires " + std::to_string(count) + "d;";
    }
    if (config::StartsWith(unit, "Weeks")) {
        return "expires " + std::to_string(count * 7) + "d;";
    }
    return {};
}

// The Basic sign-in a secure place asks for.
void WriteAuth(Conf& conf, const SiteFacts& facts, const Place& place) {
    if (!place.policy.secure) {
        return;
    }
    conf.Line("auth_basic " + conf.Q(place.policy.realm) + ";");
    conf.Line("auth_basic_user_file " +
              conf.Q((facts.target / facts.passwordFiles.at(place.url)).string()) + ";");
}

void WriteFastcgiParams(Conf& conf, const SiteFacts& facts, const Place& place, bool perl) {
    const std::string folder = place.folder.string() + "/";
    conf.Line("fastcgi_pass " + conf.Q("unix:" + (facts.target / kFcgiSocket).string()) + ";");
    conf.Line("fastcgi_intercept_errors on;");
    const std::string script = "$request_filename";
    if (perl) {
        conf.Line("fastcgi_param SCRIPT_FILENAME " +
                  conf.Q((facts.target / kPerlLauncher).string()) + ";");
        conf.Line("fastcgi_param QUORVANE_SCRIPT " + script + ";");
    } else {
        conf.Line("fastcgi_param SCRIPT_FILENAME " + script + ";");
    }
    // The variables the server hands a script, as nginx knows them.
    conf.Line("fastcgi_param SERVER_SOFTWARE nginx/$nginx_version;");
    conf.Line("fastcgi_param SERVER_NAME $host;");
    conf.Line("fastcgi_param SERVER_PORT $server_port;");
    conf.Line("fastcgi_param QUERY_STRING $query_string;");
    conf.Line("fastcgi_param CONTENT_LENGTH $content_length;");
    conf.Line("fastcgi_param CONTENT_TYPE $content_type;");
    conf.Line("fastcgi_param GATEWAY_INTERFACE CGI/1.1;");
    conf.Line("fastcgi_param PATH_TRANSLATED " + conf.QWith(folder, "$quorvane_below") + ";");
    conf.Line("fastcgi_param REMOTE_ADDR $remote_addr;");
    conf.Line("fastcgi_param REQUEST_METHOD $request_method;");
    conf.Line("fastcgi_param SCRIPT_NAME $quorvane_script;");
    conf.Line("fastcgi_param SERVER_PROTOCOL $server_protocol;");
    conf.Line("fastcgi_param PATH_INFO " + conf.QWith(place.url, "$quorvane_below") + ";");
    conf.Line("fastcgi_param PATH /usr/local/bin:/usr/bin:/bin;");
    conf.Line("fastcgi_param AUTH_TYPE $quorvane_auth_type if_not_empty;");
    conf.Line("fastcgi_param REMOTE_USER $remote_user if_not_empty;");
    conf.Line("fastcgi_param HTTPS $https if_not_empty;");
}

// A location for names that run here: Perl scripts (".pl", ".cgi") or
// programs (".exe").
void WriteRunnable(Conf& conf, const SiteFacts& facts, const Place& place, bool perl) {
    const std::string ending = perl ? "\\.(?:pl|cgi)" : "\\.exe";
    conf.Open("location ~* \"^" + conf.Re(place.url) +
              "(?<quorvane_below>(?:[^/]*/)*)(?<quorvane_script>[^/]*" + ending + ")$\"");
    const config::Settings& settings = *facts.config.settings;
    const std::vector<std::string>& barred = *facts.config.scriptsBarred;
    ErrorPages pages{.missing = Page("4044.htm")};
    if (std::any_of(barred.begin(), barred.end(), IsAddressRule)) {
        pages.forbidden = Page("4043.htm");
        WriteBlocked(conf, *facts.config.blocked);  // deny lines are not merged with the server's
        WriteBlocked(conf, barred);
    }
    if (!config::IsOn(settings, setting::kCgiEnabled)) {
        pages.forbidden = Page("4042.htm");
        WriteErrorPages(conf, pages);
        conf.Line("return 403;");
    } else if (perl && !config::IsOn(settings, setting::kEnablePerl)) {
        pages.forbidden = Page("perl-disabled.htm");
        WriteErrorPages(conf, pages);
        conf.Line("return 403;");
    } else {
        WriteErrorPages(conf, pages);
        conf.Line("expires off;");  // a script's reply goes out with its own lines only
        if (config::IsOn(settings, setting::kEnableFooter)) {
            // Replaces the inherited footer: a script's page goes out as written.
            conf.Line("sub_filter \"<!--quorvane-->\" \"<!--quorvane-->\";");
        }
        WriteFastcgiParams(conf, facts, place, perl);
    }
    conf.Close();
}

void WriteNameRules(Conf& conf, const SiteFacts& facts, const Place& place) {
    if (place.policy.insideScriptFolder) {
        // A hidden name that could run is a script not found, as the server has it.
        conf.Open("location ~* \"/\\..*\\.(?:pl|cgi|exe)[^/]*$\"");
        WriteErrorPages(conf, {.missing = Page("4044.htm")});
        conf.Line("return 404;");
        conf.Close();
    }
    conf.Open("location ~ \"/\\.\"");  // names with a leading dot are never served
    conf.Line("return 404;");
    conf.Close();
    if (place.policy.scripts) {
        WriteRunnable(conf, facts, place, true);
    }
    if (place.policy.programs) {
        WriteRunnable(conf, facts, place, false);
    }
    if (place.policy.insideScriptFolder) {
        // A name that could run somewhere here is never sent as a document.
        conf.Open("location ~* \"\\.(?:pl|cgi|exe)[^/]*$\"");
        WriteErrorPages(conf, {.missing = Page("4044.htm")});
        conf.Line("return 404;");
        conf.Close();
    }
}

void WriteDocuments(Conf& conf, const SiteFacts& facts, const Place& place) {
    const config::Settings& settings = *facts.config.settings;
    std::string index = "index";
    for (const std::string& name : *facts.config.defaultDocuments) {
        if (!name.empty() && name.find('/') == std::string::npos && name != "..") {
            index += " " + conf.Q(name);
        }
    }
    if (config::IsOn(settings, setting::kDirectoryBrowsing)) {
        conf.Line(index == "index" ? "index .quorvane-none;" : index + ";");
        conf.Line("autoindex on;");
    } else {
        conf.Line(index + " " + Page("no-listing") + ";");
    }
    if (const std::string expires = ExpiresLine(settings); !expires.empty()) {
        conf.Line(expires);
    }
    if (config::IsOn(settings, setting::kEnableFooter) && !place.policy.TakesWrites()) {
        conf.Line("sub_filter \"</html>\" " +
                  conf.Q(config::ServerValue(settings, setting::kFooterHtml) + "</html>") + ";");
    }
}

void WriteWrites(Conf& conf, const Place& place) {
    if (!place.policy.TakesWrites()) {
        return;
    }
    conf.Line(place.policy.changes ? "dav_methods PUT DELETE MKCOL COPY MOVE;"
                                   : "dav_methods PUT MKCOL;");
    conf.Line("create_full_put_path on;");
    conf.Line("dav_access user:rw group:r all:r;");
}

void WritePlace(Conf& conf, const SiteFacts& facts, const Place& place) {
    const bool root = place.url == "/";
    conf.Open(root ? std::string("location /") : "location " + conf.Q(place.url));
    if (!root) {
        conf.Line("alias " + conf.Q(place.folder.string() + "/") + ";");
    }
    WriteNameRules(conf, facts, place);
    WriteDocuments(conf, facts, place);
    WriteAuth(conf, facts, place);
    WriteWrites(conf, place);
    conf.Close();
    if (!root) {
        // The folder named without its slash: sent on (301) once signed in.
        std::string bare = place.url.substr(0, place.url.size() - 1);
        conf.Open("location = " + conf.Q(bare));
        conf.Line("alias " + conf.Q(place.folder.string()) + ";");
        WriteAuth(conf, facts, place);
        conf.Close();
    }
}

void WriteRedirectSite(Conf& conf, const SiteFacts& facts) {
    conf.Open("location /");
    conf.Line("return 302 " +
              conf.Q(config::ServerValue(*facts.config.settings, setting::kRootDirectory)) + ";");
    conf.Close();
}

}  // namespace

std::string ServerBlock(const SiteFacts& facts, std::string& problem) {
    Conf conf(problem);
    conf.Open("map $remote_user $quorvane_auth_type");
    conf.Line("\"\" \"\";");
    conf.Line("default Basic;");
    conf.Close();
    conf.Open("server");
    WriteListen(conf, facts);
    conf.Line("server_name _;");
    conf.Line("server_tokens off;");
    conf.Line("absolute_redirect off;");
    const long maxFile = config::NumberValue(*facts.config.settings, setting::kMaxFileMiB);
    conf.Line("client_max_body_size " + std::to_string(maxFile) + (maxFile ? "m;" : ";"));
    WriteBlocked(conf, *facts.config.blocked);
    WriteErrorPages(conf, {});
    WritePagesLocation(conf, facts.target);
    if (config::StartsWith(config::ServerValue(*facts.config.settings, setting::kSiteLocation),
                           "Redir")) {
        WriteRedirectSite(conf, facts);
        conf.Close();
        return conf.Text();
    }
    conf.Line("root " + conf.Q(facts.places.back().folder.string()) + ";");
    for (const std::string& url : facts.ownUrls) {
        conf.Open("location = " + conf.Q(url.substr(0, url.size() - 1)));  // the program's own file
        conf.Line("return 404;");
        conf.Close();
    }
    for (const Place& place : facts.places) {
        WritePlace(conf, facts, place);
    }
    conf.Close();
    return conf.Text();
}

}  // namespace quorvane::exporting
