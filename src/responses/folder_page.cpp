#include "responses/folder_page.h"

#include <openssl/evp.h>

#include <array>
#include <string_view>

#include "config/text.h"
#include "http/escaping.h"
#include "responses/folder_page_assets.h"
#include "responses/shown_entry.h"

namespace quorvane::responses {

namespace {

// Text to show, for HTML text and attribute values alike: what cannot be
// read as itself as U+FFFD, and the five characters that could end a value
// or start a tag as references.
std::string Shown(std::string_view text) {
    return http::EscapeHtml(config::ShowableText(text));
}

// Line-drawn icons, defined once and drawn by <use>.
constexpr std::string_view kSymbols =
    "<svg class=\"symbols\" aria-hidden=\"true\">"
    "<symbol id=\"i-folder\" viewBox=\"0 0 24 24\"><path d=\"M3 7a2 2 0 0 1 2-2h4l2 2h8a2 2 0 0 "
    "1 2 2v8a2 2 0 0 1-2 2H5a2 2 0 0 1-2-2z\"/></symbol>"
    "<symbol id=\"i-other\" viewBox=\"0 0 24 24\"><path d=\"M14 3H7a2 2 0 0 0-2 2v14a2 2 0 0 0 "
    "2 2h10a2 2 0 0 0 2-2V8zM14 3v5h5\"/></symbol>"
    "<symbol id=\"i-text\" viewBox=\"0 0 24 24\"><path d=\"M14 3H7a2 2 0 0 0-2 2v14a2 2 0 0 0 2 "
    "2h10a2 2 0 0 0 2-2V8zM14 3v5h5M9 13h6M9 17h6\"/></symbol>"
    "<symbol id=\"i-image\" viewBox=\"0 0 24 24\"><rect x=\"3\" y=\"4\" width=\"18\" "
    "height=\"16\" rx=\"2\"/><path d=\"M3 17l5-5 4 4 3-3 6 6\"/><circle cx=\"15.5\" cy=\"8.5\" "
    "r=\"1.5\"/></symbol>"
    "<symbol id=\"i-video\" viewBox=\"0 0 24 24\"><rect x=\"2\" y=\"6\" width=\"14\" "
    "height=\"12\" rx=\"2\"/><path d=\"M16 10l6-3v10l-6-3\"/></symbol>"
    "<symbol id=\"i-audio\" viewBox=\"0 0 24 24\"><path d=\"M9 18V5l11-2v13\"/><circle cx=\"6\" "
    "cy=\"18\" r=\"3\"/><circle cx=\"17\" cy=\"16\" r=\"3\"/></symbol>"
    "<symbol id=\"i-archive\" viewBox=\"0 0 24 24\"><path d=\"M3 4h18v5H3zM5 9v11h14V9M10 "
    "13h4\"/></symbol>"
    "<symbol id=\"i-rename\" viewBox=\"0 0 24 24\"><path d=\"M4 20h4L19 9l-4-4L4 16zM13 7l4 "
    "4\"/></symbol>"
    "<symbol id=\"i-delete\" viewBox=\"0 0 24 24\"><path d=\"M4 7h16M9 7V4h6v3M6 7l1 13h10l1-"
    "13M10 11v6M14 11v6\"/></symbol>"
    "</svg>\n";

std::string Glyph(std::string_view symbol, std::string_view className) {
    std::string glyph = "<svg class=\"";
    glyph.append(className).append("\" aria-hidden=\"true\"><use href=\"#i-");
    glyph.append(symbol).append("\"/></svg>");
    return glyph;
}

// The folder's ancestors up to the top, each linked by its encoded path,
// the top named after the host unless it has a name of its own.
std::string Breadcrumbs(const FolderView& view) {
    std::string crumbs = "<nav aria-label=\"Folders\"><h1 class=\"crumbs\">";
    std::string_view rest = view.directory;
    std::string path = view.top;
    if (rest.starts_with(path)) {
        rest.remove_prefix(path.size());
    } else {
        path = "/";
    }
    std::string_view label = !view.topName.empty()   ? std::string_view(view.topName)
                             : view.hostName.empty() ? std::string_view("Home")
                                                     : std::string_view(view.hostName);
    while (true) {
        while (!rest.empty() && rest.front() == '/') {
            rest.remove_prefix(1);
        }
        crumbs += "<a href=\"" + http::EscapeHtml(EncodeSegments(path)) + "\"";
        if (rest.empty()) {
            crumbs += " aria-current=\"page\"";
        }
        crumbs += "><bdi>" + Shown(label) + "</bdi></a>";
        if (rest.empty()) {
            break;
        }
        crumbs += "<span class=\"sep\" aria-hidden=\"true\">/</span>";
        const size_t end = std::min(rest.find('/'), rest.size());
        label = rest.substr(0, end);
        path.append(label).push_back('/');
        rest.remove_prefix(end);
    }
    return crumbs + "</h1></nav>\n";
}

std::string_view SortName(SortKey key) {
    return key == SortKey::kName ? "name" : key == SortKey::kSize ? "size" : "time";
}

// A link that sorts by a column, ascending, or the other way round for the
// column the rows are sorted by now.
std::string SortLink(const FolderView& view, SortKey key, std::string_view label) {
    const bool active = view.sort == key;
    std::string query = "?";
    if (view.search) {
        query += "q=" + http::PercentEncodeComponent(*view.search) + "&";
    }
    query.append("sort=").append(SortName(key));
    query += active && !view.descending ? "&order=desc" : "&order=asc";
    std::string link = "<a href=\"" + http::EscapeHtml(query) + "\">";
    link.append(label);
    if (active) {
        link += view.descending ? "<span aria-hidden=\"true\">&#9660;</span>"
                                : "<span aria-hidden=\"true\">&#9650;</span>";
    }
    return link + "</a>";
}

std::string SortHeader(const FolderView& view, SortKey key, std::string_view label,
                       std::string_view more = "") {
    std::string header = "<th class=\"";
    header.append(SortName(key)).append("\"");
    if (view.sort == key) {
        header += view.descending ? " aria-sort=\"descending\"" : " aria-sort=\"ascending\"";
    }
    header += ">" + SortLink(view, key, label);
    header.append(more);
    return header + "</th>";
}

// `name` comes escaped.
std::string ActionButton(std::string_view act, std::string_view label, std::string_view name) {
    std::string button = "<button type=\"button\" class=\"";
    button.append(act).append("\" data-act=\"").append(act).append("\" title=\"");
    button.append(label).append("\" aria-label=\"").append(label).append(" ").append(name);
    return button + "\">" + Glyph(act, "icon") + "</button>";
}

bool Selectable(const FolderView& view) {
    return !view.search;
}

bool Changeable(const FolderView& view) {
    return view.mayChange && !view.search;
}

std::string Row(const FolderView& view, const FolderEntry& entry) {
    const ShownEntry shown = ShowEntry(entry, view.now);
    const std::string name = http::EscapeHtml(shown.label);
    const std::string href = http::EscapeHtml(shown.href);
    std::string row = "<tr data-name=\"" + name + "\" data-kind=\"";
    row += entry.folder ? "folder\">" : "file\">";
    if (Selectable(view)) {
        row +=
            "<td class=\"pick js-only\"><label><input type=\"checkbox\" class=\"pick-box\" "
            "aria-label=\"Select " +
            name + "\"></label></td>";
    }
    row += "<td class=\"name\"><a href=\"" + href + "\">";
    if (entry.thumbnail && !entry.folder) {
        row += "<img class=\"thumb\" loading=\"lazy\" src=\"" + href +
               "?format=thumbnail\" alt=\"\" width=\"48\" height=\"48\">";
    } else {
        const std::string_view type = EntryTypeName(shown.type);
        row += Glyph(type, "icon t-" + std::string(type));
    }
    row += "<span class=\"label\"><bdi>" + name + "</bdi>";
    if (!shown.within.empty()) {
        row += "<span class=\"within\"><bdi>" + http::EscapeHtml(shown.within) + "</bdi></span>";
    }
    // The size and date again, shown under the name where the columns are not.
    row += "<span class=\"sub\" aria-hidden=\"true\">";
    row += entry.folder ? shown.date : shown.size + " \xC2\xB7 " + shown.date;  // a middle dot
    row += "</span></span></a></td><td class=\"size\">" + shown.size +
           "</td><td class=\"time\"><time datetime=\"" + shown.utcDate + "\" title=\"" +
           shown.exactDate + "\">" + shown.date + "</time></td>";
    if (Changeable(view)) {
        row += "<td class=\"acts js-only\">" + ActionButton("rename", "Rename", name) +
               ActionButton("delete", "Delete", name) + "</td>";
    }
    return row + "</tr>\n";
}

std::string Table(const FolderView& view) {
    std::string table = "<table id=\"entries\" data-actions=\"";
    table += Changeable(view) ? "yes" : "no";
    table += "\"><thead><tr>";
    if (Selectable(view)) {
        table +=
            "<th class=\"pick js-only\"><label><input type=\"checkbox\" id=\"pick-all\" "
            "aria-label=\"Select all\"></label></th>";
    }
    // Where the size and date columns give way, their links stay beside the name's.
    const std::string narrowSorts = "<span class=\"narrow-sorts\">" +
                                    SortLink(view, SortKey::kSize, "Size") +
                                    SortLink(view, SortKey::kTime, "Modified") + "</span>";
    table += SortHeader(view, SortKey::kName, "Name", narrowSorts) +
             SortHeader(view, SortKey::kSize, "Size") +
             SortHeader(view, SortKey::kTime, "Modified");
    if (Changeable(view)) {
        table += "<th class=\"acts js-only\"><span class=\"note\">Change</span></th>";
    }
    table += "</tr></thead>\n<tbody>\n";
    for (const FolderEntry& entry : view.entries) {
        table += Row(view, entry);
    }
    table += "</tbody></table>\n<p id=\"empty\" class=\"note\"";
    if (!view.entries.empty()) {
        table += " hidden";
    }
    table += view.search ? ">Nothing found.</p>\n" : ">This folder is empty.</p>\n";
    return table;
}

std::string SearchBar(const FolderView& view) {
    std::string bar =
        "<div class=\"bar\"><input type=\"search\" id=\"filter\" class=\"js-only\" "
        "placeholder=\"Filter this list\" aria-label=\"Filter this list\">"
        "<form method=\"get\" role=\"search\"><input type=\"search\" name=\"q\" value=\"";
    // The text itself, so searching again searches for the same.
    bar += view.search ? http::EscapeHtml(config::ValidUtf8(*view.search)) : "";
    bar +=
        "\" placeholder=\"Search here and below\" aria-label=\"Search this folder and "
        "below\"><input type=\"hidden\" name=\"sort\" value=\"";
    bar.append(SortName(view.sort));
    bar += "\"><input type=\"hidden\" name=\"order\" value=\"";
    bar += view.descending ? "desc" : "asc";
    return bar + "\"><button type=\"submit\">Search</button></form></div>\n";
}

std::string Tools(const FolderView& view) {
    if (view.search) {
        return {};
    }
    std::string tools =
        "<div class=\"tools\"><a class=\"button\" href=\"?format=zip\" download>Download as "
        "zip</a><a class=\"button js-only\" id=\"zip-picked\" href=\"?format=zip\" download "
        "hidden>Download selected as zip</a>";
    if (view.mayUpload) {
        tools +=
            "<button type=\"button\" class=\"primary js-only\" id=\"upload-files\">Upload</button>"
            "<button type=\"button\" class=\"js-only\" id=\"upload-folder\">Upload folder</button>"
            "<button type=\"button\" class=\"js-only\" id=\"new-folder\">New folder</button>"
            "<input type=\"file\" id=\"files\" multiple hidden>"
            "<input type=\"file\" id=\"folder\" webkitdirectory multiple hidden>";
    }
    return tools + "</div>\n";
}

std::string Uploads(const FolderView& view) {
    if (!view.mayUpload || view.search) {
        return {};
    }
    return "<section id=\"uploads\" class=\"uploads\" aria-label=\"Uploads\" hidden><div "
           "class=\"total\"><progress id=\"total\" max=\"1\" value=\"0\"></progress><span "
           "id=\"total-text\"></span><button type=\"button\" id=\"cancel\">Cancel</button></div>"
           "<ul id=\"upload-list\"></ul></section>\n";
}

std::string SearchLine(const FolderView& view) {
    if (!view.search) {
        return {};
    }
    const std::string count = std::to_string(view.entries.size());
    const std::string searched = "\xE2\x80\x9C<bdi>" + Shown(*view.search) + "</bdi>\xE2\x80\x9D";
    std::string line = "<p class=\"note\" id=\"searched\">";
    line += view.cut ? "The first " + count + " found for " + searched +
                           " in this folder and below; the search stopped there."
                     : count + " found for " + searched + " in this folder and below.";
    return line + " <a href=\"./\">Back to the folder</a></p>\n";
}

std::string Head(const FolderView& view) {
    std::string head =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<meta name=\"color-scheme\" content=\"light dark\">\n<title>";
    head += Shown(view.directory);
    if (!view.hostName.empty()) {
        head += " \xE2\x80\x94 " + Shown(view.hostName);  // an em dash
    }
    head += "</title>\n<style>";
    head.append(kFolderPageStyle);
    return head + "</style>\n</head>\n";
}

std::string Sha256Source(std::string_view text) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest.data(), &length, EVP_sha256(), nullptr);
    std::string encoded(4 * ((length + 2) / 3) + 1, '\0');  // with EncodeBlock's NUL
    encoded.resize(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()), digest.data(),
                                   static_cast<int>(length)));
    return "'sha256-" + encoded + "'";
}

}  // namespace

std::string ModernPage(const FolderView& view) {
    std::string page = Head(view);
    page.reserve(kFolderPageStyle.size() + kFolderPageScript.size() + 4096 +
                 view.entries.size() * 900 + view.readmeHtml.size());
    page += "<body>\n";
    page.append(kSymbols);
    page += "<header>\n" + Breadcrumbs(view) + SearchBar(view) + Tools(view) + "</header>\n";
    page += "<main>\n" + SearchLine(view) +
            "<p id=\"status\" role=\"status\" aria-live=\"polite\"></p>\n" + Uploads(view) +
            Table(view);
    if (!view.readmeHtml.empty()) {
        page += "<article class=\"readme\">\n" + view.readmeHtml + "</article>\n";
    }
    page += "</main>\n<script>";
    page.append(kFolderPageScript);
    return page + "</script>\n</body>\n</html>\n";
}

const std::string& ModernPageSecurityPolicy() {
    // Made once from the texts the page carries, so the two never part.
    static const std::string policy =
        "default-src 'none'; style-src " + Sha256Source(kFolderPageStyle) + "; script-src " +
        Sha256Source(kFolderPageScript) +
        "; img-src 'self' data:; media-src 'self'; connect-src 'self'; form-action 'self'; "
        "base-uri 'none'; frame-ancestors 'none'";
    return policy;
}

}  // namespace quorvane::responses
