#include "export/nginx_export.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "config/atomic_file.h"
#include "config/config_snapshots.h"
#include "config/setting_keys.h"
#include "config/text.h"
#include "export/export_readme.h"
#include "export/nginx_syntax.h"
#include "export/server_block.h"
#include "export/site_places.h"
#include "responses/error_pages.h"
#include "responses/password_hash.h"

namespace quorvane::exporting {

namespace fs = std::filesystem;
namespace setting = config::setting;

namespace {

// The users as sign-in finds them: the last record of a name (in any letter
// case) decides, and one without a name or a password lets no one in.
std::vector<config::UserAccount> SigningUsers(const std::vector<config::UserAccount>& users) {
    std::map<std::string, config::UserAccount> last;
    for (const config::UserAccount& user : users) {
        last[config::ToUpperAscii(user.name)] = user;
    }
    std::vector<config::UserAccount> signing;
    for (const auto& [key, user] : last) {
        if (!user.name.empty() && !user.password.empty() &&
            user.name.find(':') == std::string::npos) {
            signing.push_back(user);
        }
    }
    return signing;
}

std::string PasswordFile(const std::vector<config::UserAccount>& users,
                         const responses::Policy& policy, std::string& problem) {
    std::string text;
    for (const config::UserAccount& user : users) {
        if (!policy.Admits(user.name)) {
            continue;
        }
        std::optional<std::string> hash = responses::IsHashedPassword(user.password)
                                              ? std::optional(user.password)
                                              : responses::HashPassword(user.password);
        if (!hash) {
            problem = "the password of " + user.name + " could not be hashed";
            return {};
        }
        text += user.name + ":" + *hash + "\n";
    }
    return text;
}

// One password file per distinct set of admitted users: "htpasswd" for a
// folder every user may enter, "htpasswd-2" and on for folders naming theirs.
void AddPasswordFiles(const config::Configuration& config, SiteFacts& facts, NginxExport& out) {
    const std::vector<config::UserAccount> users = SigningUsers(*config.users);
    std::map<std::vector<std::vector<std::string>>, std::string> named;
    for (const Place& place : facts.places) {
        if (!place.policy.secure) {
            continue;
        }
        auto [at, added] = named.try_emplace(place.policy.admitted, std::string());
        if (added) {
            at->second = place.policy.admitted.empty()
                             ? std::string("htpasswd")
                             : "htpasswd-" + std::to_string(named.size() + 1);
            out.files.push_back({at->second, PasswordFile(users, place.policy, out.problem),
                                 config::kPrivateFileMode});
        }
        facts.passwordFiles[place.url] = at->second;
    }
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The types of nginx's own mime.types, as (type, extension) pairs in order.
std::vector<std::pair<std::string, std::string>> NginxTypes(const fs::path& file) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::istringstream text(config::ReadWholeFile(file).value_or(""));
    std::string line;
    while (std::getline(text, line)) {
        line = line.substr(0, line.find('#'));
        std::replace(line.begin(), line.end(), ';', ' ');
        std::istringstream words(line);
        std::string type;
        std::string extension;
        if (!(words >> type) || type == "types" || type == "{" || type == "}") {
            continue;
        }
        while (words >> extension) {
            pairs.emplace_back(type, extension);
        }
    }
    return pairs;
}

// mime.lst's types on top of nginx's own: the first record of an extension
// wins, as in the server's lookup, and nginx's own fill in the rest.
std::string MediaTypes(const config::MediaTypes& listed) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const config::MediaType& type : listed) {
        pairs.emplace_back(type.type, type.extension);
    }
    for (auto& pair : NginxTypes("/etc/nginx/mime.types")) {
        pairs.push_back(std::move(pair));
    }
    std::set<std::string> seen;
    std::string text = "# mime.lst's types, then nginx's own for every other extension.\ntypes {\n";
    for (const auto& [type, extension] : pairs) {
        const std::optional<std::string> quotedType = Quoted(type);
        const std::optional<std::string> quotedExtension = Quoted(Lower(extension));
        if (!extension.empty() && !type.empty() && quotedType && quotedExtension &&
            seen.insert(Lower(extension)).second) {
            text += "    " + *quotedType + " " + *quotedExtension + ";\n";
        }
    }
    return text + "}\n";
}

std::string BodyOf(const http::Response& response) {
    const auto* text = std::get_if<std::string>(&response.body);
    return text != nullptr ? *text : std::string();
}

void AddPages(const config::ProgramFolder& program, const config::Settings& settings,
              NginxExport& out) {
    for (const config::ErrorPageSetting& page : config::ErrorPageSettings()) {
        std::string code(page.code);
        code.erase(std::remove(code.begin(), code.end(), '.'), code.end());
        const auto text =
            config::ReadWholeFile(program.Resolve(config::ServerValue(settings, *page.key)));
        if (text) {
            out.files.push_back({std::string(kPagesFolder) + "/" + code + ".htm", *text});
        }
    }
    const auto now = std::chrono::system_clock::now();
    out.files.push_back(
        {std::string(kPagesFolder) + "/500.htm", BodyOf(responses::SendCgiErrorPage(now))});
    out.files.push_back({std::string(kPagesFolder) + "/perl-disabled.htm",
                         BodyOf(responses::SendPerlDisabledPage(now))});
}

std::string ShellQuoted(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// fcgiwrap runs the file it is given; the server runs a script through the
// configured Perl, in the script's folder.
std::string PerlLauncher(const config::ProgramFolder& program, const config::Settings& settings) {
    const fs::path perl = program.Resolve(config::ServerValue(settings, setting::kPerlLocation));
    return "#!/bin/sh\n"
           "# Runs a CGI script through the configured Perl, in its own folder.\n"
           "[ -f \"$QUORVANE_SCRIPT\" ] || { printf 'Status: 404 Not Found\\r\\n\\r\\n'; exit 0; "
           "}\n"
           "cd \"${QUORVANE_SCRIPT%/*}\" || exit 1\n"
           "SCRIPT_FILENAME=$QUORVANE_SCRIPT\n"
           "export SCRIPT_FILENAME\n"
           "exec " +
           ShellQuoted(perl.string()) + " \"$QUORVANE_SCRIPT\"\n";
}

std::string MainConf(const fs::path& target, std::string& problem) {
    const auto at = [&](std::string_view name) {
        std::optional<std::string> quoted = Quoted((target / name).string());
        if (!quoted) {
            problem = "nginx cannot hold the export folder's name " + target.string();
        }
        return quoted.value_or("\"\"");
    };
    return "# The whole nginx program for the exported site; every path lies in this folder.\n"
           "# nginx -c " +
           (target / "nginx.conf").string() + " -p " + target.string() +
           "/ -g 'daemon off;'\n"
           "pid " +
           at("nginx.pid") +
           ";\n"
           "error_log " +
           at("error.log") +
           ";\n"
           "events {\n    worker_connections 512;\n}\n"
           "http {\n"
           "    include " +
           at("mime.types") +
           ";\n"
           "    default_type application/octet-stream;\n"
           "    access_log " +
           at("access.log") +
           ";\n"
           "    client_body_temp_path " +
           at("temp-body") +
           ";\n"
           "    proxy_temp_path " +
           at("temp-proxy") +
           ";\n"
           "    fastcgi_temp_path " +
           at("temp-fastcgi") +
           ";\n"
           "    uwsgi_temp_path " +
           at("temp-uwsgi") +
           ";\n"
           "    scgi_temp_path " +
           at("temp-scgi") +
           ";\n"
           "    include " +
           at("quorvane.conf") +
           ";\n"
           "}\n";
}

// The program's own files that a request through some place would reach.
std::vector<std::string> OwnUrls(const config::ProgramFolder& program,
                                 const config::Settings& settings,
                                 const std::vector<Place>& places) {
    std::vector<fs::path> own{
        program.SettingsPath(), program.LogPath(), program.Path() / config::kOldLogFileName,
        program.Path() / config::kCertificateFileName, program.Path() / config::kKeyFileName};
    for (std::string_view list :
         {config::kDirsList, config::kDefaultList, config::kMimeList, config::kBlockList,
          config::kNoCgiList, config::kUsersList, config::kUsersScratch, config::kSharesList}) {
        own.push_back(program.ListFilePath(list));
    }
    if (const std::string key = config::ServerValue(settings, setting::kKeyFile); !key.empty()) {
        own.push_back(program.Resolve(key));
    }
    std::vector<std::string> urls;
    for (const fs::path& file : own) {
        const fs::path real = fs::weakly_canonical(file);
        for (std::string& url : UrlsOf(real, places)) {
            urls.push_back(std::move(url));
        }
    }
    return urls;
}

// The certificate and key HTTPS uses: the configured files, else the pair
// the server made for itself (copied, so the key stays the export's own).
std::optional<std::pair<fs::path, fs::path>> Certificate(const config::ProgramFolder& program,
                                                         const config::Settings& settings,
                                                         const fs::path& target, NginxExport& out) {
    if (config::NumberValue(settings, setting::kHttpsPort) == 0) {
        return std::nullopt;
    }
    const std::string certificate = config::ServerValue(settings, setting::kCertificateFile);
    const std::string key = config::ServerValue(settings, setting::kKeyFile);
    if (!certificate.empty() && !key.empty()) {
        return std::pair(program.Resolve(certificate), program.Resolve(key));
    }
    const auto made = config::ReadWholeFile(program.Path() / config::kCertificateFileName);
    const auto madeKey = config::ReadWholeFile(program.Path() / config::kKeyFileName);
    if (!made || !madeKey) {
        return std::nullopt;
    }
    out.files.push_back({"certificate.pem", *made});
    out.files.push_back({"key.pem", *madeKey, config::kPrivateFileMode});
    return std::pair(target / "certificate.pem", target / "key.pem");
}

bool Runs(const std::vector<Place>& places) {
    return std::any_of(places.begin(), places.end(), [](const Place& place) {
        return place.policy.scripts || place.policy.programs;
    });
}

}  // namespace

NginxExport ExportNginx(const config::ProgramFolder& program, const fs::path& target) {
    NginxExport out;
    config::ConfigSnapshots snapshots(false);
    const config::Configuration config = snapshots.Take(program);
    if (!config.Complete() || !config.defaultDocuments || !config.mediaTypes) {
        out.problem =
            "the settings or a list file of " + program.Path().string() + " could not be read";
        return out;
    }
    const config::Settings& settings = *config.settings;
    const responses::ResolveContext context{*config.directories, *config.defaultDocuments, settings,
                                            program};
    SiteFacts facts{config, SitePlaces(context), target, {}, {}, {}};
    for (const Place& place : facts.places) {
        if (place.real && responses::IsInside(fs::weakly_canonical(target), *place.real)) {
            out.problem = "the export folder lies in the served folder of " + place.url +
                          ": its password files would be served";
            return out;
        }
    }
    facts.ownUrls = OwnUrls(program, settings, facts.places);
    facts.certificate = Certificate(program, settings, target, out);
    AddPasswordFiles(config, facts, out);
    AddPages(program, settings, out);
    if (Runs(facts.places)) {
        out.files.push_back({std::string(kPerlLauncher), PerlLauncher(program, settings), 0755});
    }
    out.files.push_back({"mime.types", MediaTypes(*config.mediaTypes)});
    std::string problem;
    out.files.push_back({"quorvane.conf", ServerBlock(facts, problem)});
    out.files.push_back({"nginx.conf", MainConf(target, problem)});
    out.files.push_back({"README.txt", ExportReadme(facts, target)});
    if (out.problem.empty()) {
        out.problem = problem;
    }
    if (!out.problem.empty()) {
        out.files.clear();
    }
    return out;
}

}  // namespace quorvane::exporting
