#include "export/export_readme.h"

#include <algorithm>

#include "config/setting_keys.h"
#include "export/nginx_syntax.h"

namespace quorvane::exporting {

namespace setting = config::setting;

namespace {

std::string CarriedOver(const SiteFacts& facts) {
    std::string text =
        "What carried over\n"
        "-----------------\n"
        "- The port (and HTTPS with its certificate and key when HttpsPort is set and a\n"
        "  certificate is named or was made), the root folder and every virtual\n"
        "  directory as its own location, longest first:\n";
    for (const Place& place : facts.places) {
        text += "    " + place.url + " -> " + place.folder.string() +
                (place.policy.secure ? "  (secure, realm " + place.policy.realm + ")" : "") +
                (place.policy.scripts || place.policy.programs ? "  (scripts run)" : "") +
                (place.policy.TakesWrites() ? "  (takes writes)" : "") + "\n";
    }
    text +=
        "  Secure folders and script folders reached beneath another folder got a\n"
        "  location of their own, since nginx decides by the URL, not by where a file lies.\n"
        "- Default documents (index), listings (autoindex) where browsing is on, the\n"
        "  content types of mime.lst on top of nginx's own, the error pages (copied to\n"
        "  pages/), blocked addresses (deny), Expires, the footer (sub_filter before\n"
        "  the first closing html tag), a site redirect (302), a folder named without\n"
        "  its slash (301 once signed in), names with a leading dot (404), the program's\n"
        "  own files (404 wherever a served folder holds them), a POST to a document\n"
        "  (answered with the document, through error_page 405).\n"
        "- Users: one htpasswd file for secure folders every user may enter, and one\n"
        "  per set of users a secure folder names; passwords kept in clear were hashed\n"
        "  (yescrypt, which nginx checks through crypt(3)).\n"
        "- Writable folders: nginx's dav methods (PUT, MKCOL; DELETE, COPY and MOVE\n"
        "  where changes are allowed).\n"
        "- Scripts: .pl and .cgi through fcgiwrap and perl-cgi (the configured Perl),\n"
        "  .exe through fcgiwrap directly, with the CGI variables the server passes;\n"
        "  nocgi.lst as deny lines in those locations.\n\n";
    return text;
}

std::string NotCarried() {
    return "What could not carry over\n"
           "-------------------------\n"
           "- The exact wording of the built-in notice pages and listings: nginx writes its\n"
           "  own (autoindex instead of the classic or modern page; nginx's own page where a\n"
           "  configured error page file was missing; its own body for 301, 302 and 307).\n"
           "- Sign-in: user names are compared letter for letter (the server ignores case);\n"
           "  no wait after five wrong passwords (429); the realm of a wholly secure site\n"
           "  is the location, not the folder asked for; a name with a colon is left out.\n"
           "- Share links (/s/...) are not carried over; nor are the modern listing's\n"
           "  search, zip and thumbnails, or the announcement on the local network.\n"
           "- WebDAV: LOCK, UNLOCK, PROPFIND and PROPPATCH need a third-party module (nginx's\n"
           "  dav module has none); PUT overwrites where only uploads are allowed; the\n"
           "  free-space reserve (KeepFreeMiB) is not checked.\n"
           "- CGI: no time limit (Timeout) and no cgroup confinement; a script's own 404\n"
           "  and 500 replies are replaced by the error pages (fastcgi_intercept_errors);\n"
           "  SERVER_SOFTWARE names nginx.\n"
           "- A closing tag written </HTML> comes back lower case after the footer.\n"
           "- In a secure folder, a hidden name, a name that may not run and a script\n"
           "  while CGI is off are answered before sign-in; the server asks first.\n"
           "- Folders are matched where they lay at export time: a link re-pointed or a\n"
           "  folder moved later needs a new export. Error pages are copies.\n"
           "- A blocked address that is also in nocgi.lst sees the 404.3 page on scripts;\n"
           "  a blocked address asking a redirected site is redirected.\n"
           "- Expires: the server dates its notice and error pages to expire at once;\n"
           "  nginx's expires reaches documents (2xx and 3xx) only.\n\n";
}

std::string Commands(const SiteFacts& facts, const std::filesystem::path& target) {
    const std::string dir = target.string();
    const bool runs = std::any_of(facts.places.begin(), facts.places.end(), [](const Place& p) {
        return p.policy.scripts || p.policy.programs;
    });
    std::string text =
        "Running it\n"
        "----------\n"
        "Check, then run in the foreground as the user owning these files (started as\n"
        "root, nginx's workers would run as nobody, who cannot read the htpasswd files):\n"
        "    nginx -t -c " +
        dir + "/nginx.conf -p " + dir +
        "/\n"
        "    nginx -c " +
        dir + "/nginx.conf -p " + dir + "/ -g 'daemon off;'\n";
    if (runs) {
        text +=
            "Scripts need fcgiwrap listening on the socket quorvane.conf names:\n"
            "    fcgiwrap -s unix:" +
            dir + "/fcgiwrap.socket\n";
    }
    text +=
        "\nUnder Debian's nginx.service instead (it reads /etc/nginx/nginx.conf, which\n"
        "includes sites-enabled/), as root:\n"
        "    ln -s " +
        dir +
        "/quorvane.conf /etc/nginx/sites-enabled/quorvane\n"
        "    chown www-data " +
        dir +
        "/htpasswd*\n"
        "    nginx -t && systemctl reload nginx\n";
    if (runs) {
        text +=
            "and fcgiwrap's socket unit on the socket named there:\n"
            "    systemctl edit fcgiwrap.socket   # [Socket] ListenStream=\n"
            "                                     #          ListenStream=" +
            dir +
            "/fcgiwrap.socket\n"
            "    systemctl enable --now fcgiwrap.socket\n";
    }
    return text;
}

// What this very configuration holds that nginx was not given, each named.
std::string LeftOut(const SiteFacts& facts) {
    std::string text;
    for (const auto* list : {facts.config.blocked.get(), facts.config.scriptsBarred.get()}) {
        for (const std::string& entry : *list) {
            if (!IsAddressRule(entry)) {
                text += "- The address list entry \"" + entry +
                        "\" is no whole address; the server never matches it either.\n";
            }
        }
    }
    for (const config::UserAccount& user : *facts.config.users) {
        if (user.name.find(':') != std::string::npos || user.name.empty() ||
            user.password.empty()) {
            text += "- The user \"" + user.name +
                    "\" has no htpasswd line (a colon, or an empty "
                    "name or password).\n";
        }
    }
    for (const config::VirtualDirectory& record : *facts.config.directories) {
        if (record.name == "/" &&
            record.folder != config::ServerValue(*facts.config.settings, setting::kRootDirectory)) {
            text += "- dirs.lst's root record names " + record.folder +
                    ", which the server uses for the top folder's own files only; nginx serves\n"
                    "  all of / from RootDirectory.\n";
        }
    }
    return text.empty() ? text : "In this site\n------------\n" + text + "\n";
}

}  // namespace

std::string ExportReadme(const SiteFacts& facts, const std::filesystem::path& target) {
    return "The site of this program folder, exported for nginx by quorvane-server.\n\n" +
           CarriedOver(facts) + NotCarried() + LeftOut(facts) + Commands(facts, target);
}

}  // namespace quorvane::exporting
