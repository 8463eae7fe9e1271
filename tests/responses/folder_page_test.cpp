#include "responses/folder_page.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <ctime>

#include "config/text.h"
#include "responses/readme_text.h"
#include "support/html_markup.h"

namespace quorvane::responses {
namespace {

using namespace std::chrono;
using testing::MarkupNode;

system_clock::time_point Local(int month, int day, int hour, int minute) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_isdst = -1;
    return system_clock::from_time_t(std::mktime(&local));
}

const system_clock::time_point kNow = Local(6, 15, 12, 0);

FolderView ViewOf(std::vector<FolderEntry> entries) {
    return {.directory = "/docs/",
            .hostName = "host",
            .entries = std::move(entries),
            .mayUpload = true,
            .mayChange = true,
            .now = kNow};
}

FolderEntry File(std::string name) {
    return {.name = std::move(name), .size = 4200, .modified = kNow - hours(30)};
}

std::vector<MarkupNode> Nodes(const std::string& page) {
    std::optional<std::vector<MarkupNode>> nodes = testing::ReadMarkup(page);
    EXPECT_TRUE(nodes.has_value()) << page;
    return nodes.value_or(std::vector<MarkupNode>{});
}

// Where each start tag of the name stands.
std::vector<size_t> Find(const std::vector<MarkupNode>& nodes, std::string_view tag,
                         std::string_view className = "") {
    std::vector<size_t> found;
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].tag == tag && (className.empty() || nodes[i].HasClass(className))) {
            found.push_back(i);
        }
    }
    return found;
}

// The first node after `from` with the tag.
const MarkupNode* After(const std::vector<MarkupNode>& nodes, size_t from, std::string_view tag) {
    for (size_t i = from + 1; i < nodes.size(); ++i) {
        if (nodes[i].tag == tag) {
            return &nodes[i];
        }
    }
    return nullptr;
}

// What one entry's row says: each attribute and text a name reaches.
struct RowFacts {
    std::string dataName;
    std::string href;
    std::string shownName;  // the <bdi> in the link
    std::string pickLabel;  // the checkbox's
    std::vector<std::string> actionLabels;
    std::string thumbnail;  // an <img>'s src, if any
};

std::vector<RowFacts> Rows(const std::vector<MarkupNode>& nodes) {
    std::vector<RowFacts> rows;
    for (const size_t row : Find(nodes, "tr")) {
        if (!nodes[row].Attribute("data-name")) {
            continue;
        }
        RowFacts facts{.dataName = *nodes[row].Attribute("data-name")};
        for (size_t i = row + 1; i < nodes.size() && nodes[i].tag != "/tr"; ++i) {
            const MarkupNode& node = nodes[i];
            if (node.tag == "a" && facts.href.empty()) {
                facts.href = node.Attribute("href").value_or("");
            } else if (node.tag == "bdi" && facts.shownName.empty()) {
                facts.shownName = testing::TextWithin(nodes, i);
            } else if (node.tag == "input" && node.HasClass("pick-box")) {
                facts.pickLabel = node.Attribute("aria-label").value_or("");
            } else if (node.tag == "button") {
                facts.actionLabels.push_back(node.Attribute("aria-label").value_or(""));
            } else if (node.tag == "img") {
                facts.thumbnail = node.Attribute("src").value_or("");
            }
        }
        rows.push_back(std::move(facts));
    }
    return rows;
}

std::string Sha256Source(std::string_view text) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest.data(), &length, EVP_sha256(), nullptr);
    std::array<unsigned char, 64> encoded{};
    const int size = EVP_EncodeBlock(encoded.data(), digest.data(), static_cast<int>(length));
    return "'sha256-" + std::string(reinterpret_cast<char*>(encoded.data()), size) + "'";
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Names that try every way out of their place: markup, attribute quotes,
// references, URL delimiters, line breaks, reordering, length and bytes
// that are not UTF-8. Each is shown as text (what cannot be read as itself
// as U+FFFD) and linked by its own bytes.
struct HostileName {
    std::string name;
    std::string href;
    std::string shown;
};

std::vector<HostileName> HostileNames() {
    std::string longName;
    for (int i = 0; i < 85; ++i) {
        longName += "\xE2\x82\xAC";  // 85 euro signs, 255 bytes
    }
    std::string longHref;
    for (int i = 0; i < 85; ++i) {
        longHref += "%E2%82%AC";
    }
    const std::string r(kReplacement);
    return {
        {"<script>alert(1)</script>", "%3Cscript%3Ealert%281%29%3C%2Fscript%3E",
         "<script>alert(1)</script>"},
        {"a\"onmouseover=\"x", "a%22onmouseover%3D%22x", "a\"onmouseover=\"x"},
        {"it's", "it%27s", "it's"},
        {"&amp;&lt;", "%26amp%3B%26lt%3B", "&amp;&lt;"},
        {"#top", "%23top", "#top"},
        {"?format=zip", "%3Fformat%3Dzip", "?format=zip"},
        {"100%", "100%25", "100%"},
        {"two\nlines", "two%0Alines", "two" + r + "lines"},
        {"report\xE2\x80\xAEtxt.exe", "report%E2%80%AEtxt.exe", "report" + r + "txt.exe"},
        {"javascript:alert(1)", "javascript%3Aalert%281%29", "javascript:alert(1)"},
        {longName, longHref, longName},
        {"bad\xFF\xFEname", "bad%FF%FEname", "bad" + r + r + "name"},
    };
}

TEST(ModernPage, EveryHostileNameIsTextInEachPlaceAndLinkedByItsBytes) {
    for (const HostileName& hostile : HostileNames()) {
        FolderEntry image = File(hostile.name + ".png");
        image.thumbnail = true;
        const std::string page = ModernPage(ViewOf({File(hostile.name), image}));
        const std::vector<MarkupNode> nodes = Nodes(page);
        const std::string escapedName = config::EscapeControlCharacters(hostile.name);
        // One script, the page's own; a name never opens another element.
        EXPECT_EQ(Find(nodes, "script").size(), 1u) << escapedName;
        EXPECT_EQ(config::ValidUtf8(page), page) << escapedName;
        EXPECT_EQ(page.find("\xE2\x80\xAE"), std::string::npos) << escapedName;
        const std::vector<RowFacts> rows = Rows(nodes);
        ASSERT_EQ(rows.size(), 2u) << escapedName;
        const std::string shownImage = hostile.shown + ".png";
        for (const auto& [row, shown, href] :
             {std::tuple{rows[0], hostile.shown, hostile.href},
              std::tuple{rows[1], shownImage, hostile.href + ".png"}}) {
            EXPECT_EQ(row.href, href) << escapedName;
            EXPECT_EQ(row.shownName, shown) << escapedName;
            EXPECT_EQ(row.dataName, shown) << escapedName;
            EXPECT_EQ(row.pickLabel, "Select " + shown) << escapedName;
            EXPECT_EQ(row.actionLabels,
                      (std::vector<std::string>{"Rename " + shown, "Delete " + shown}))
                << escapedName;
        }
        EXPECT_EQ(rows[0].thumbnail, "");
        EXPECT_EQ(rows[1].thumbnail, hostile.href + ".png?format=thumbnail") << escapedName;
    }
}

TEST(ModernPage, NoLinkLeavesTheSiteOrRunsScript) {
    FolderView view = ViewOf({});
    for (const HostileName& hostile : HostileNames()) {
        view.entries.push_back(File(hostile.name));
        view.entries.push_back({.name = hostile.name + "dir", .folder = true});
    }
    view.readmeHtml = RenderReadme("[a](javascript:alert(1)) [b](//elsewhere.example/x)");
    const std::vector<MarkupNode> nodes = Nodes(ModernPage(view));
    size_t links = 0;
    for (const MarkupNode& node : nodes) {
        for (const char* attribute : {"href", "src", "action"}) {
            const std::optional<std::string> value = node.Attribute(attribute);
            if (!value || node.tag == "use") {
                continue;
            }
            ++links;
            // A scheme would need a ':' before any '/', '?' or '#'.
            const size_t colon = value->find(':');
            EXPECT_TRUE(colon == std::string::npos || colon > value->find_first_of("/?#"))
                << *value;
            // Only the README's own link may be written as it was given.
            if (value->starts_with("//")) {
                EXPECT_EQ(*value, "//elsewhere.example/x");
            }
        }
    }
    EXPECT_GT(links, 2 * HostileNames().size());
}

TEST(ModernPage, FoldersLinkWithTheirSlashAndShowADashForSize) {
    FolderView view = ViewOf(
        {{.name = "sub dir", .folder = true, .modified = Local(6, 15, 11, 55)}, File("notes.txt")});
    view.entries[1].modified = Local(6, 14, 6, 0);
    const std::vector<MarkupNode> nodes = Nodes(ModernPage(view));
    const std::vector<RowFacts> rows = Rows(nodes);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].href, "sub%20dir/");
    EXPECT_EQ(rows[1].href, "notes.txt");
    const std::vector<size_t> sizes = Find(nodes, "td", "size");
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(testing::TextWithin(nodes, sizes[0]), "\xE2\x80\x94");
    EXPECT_EQ(testing::TextWithin(nodes, sizes[1]), "4.2 KB");
    // The readable date, with the exact time for machines and on hover.
    const std::vector<size_t> times = Find(nodes, "time");
    ASSERT_EQ(times.size(), 2u);
    std::tm utc{};
    const std::string machineTime = nodes[times[0]].Attribute("datetime").value_or("");
    ASSERT_NE(strptime(machineTime.c_str(), "%Y-%m-%dT%H:%M:%SZ", &utc), nullptr) << machineTime;
    EXPECT_EQ(system_clock::from_time_t(timegm(&utc)), view.entries[0].modified);
    EXPECT_EQ(nodes[times[0]].Attribute("title"), "2026-06-15 11:55:00");
    EXPECT_EQ(testing::TextWithin(nodes, times[0]), "today 11:55");
    EXPECT_EQ(testing::TextWithin(nodes, times[1]), "yesterday 06:00");
}

TEST(ModernPage, BreadcrumbsLinkEveryAncestorBySegments) {
    FolderView view = ViewOf({});
    view.directory = "/a b/<i>/x\xFF#?/";
    view.hostName = "my \"host\"";
    const std::string page = ModernPage(view);
    const std::vector<MarkupNode> nodes = Nodes(page);
    const size_t crumbs = Find(nodes, "h1", "crumbs").at(0);
    std::vector<std::pair<std::string, std::string>> links;
    for (size_t i = crumbs; nodes[i].tag != "/h1"; ++i) {
        if (nodes[i].tag == "a") {
            links.emplace_back(*nodes[i].Attribute("href"), testing::TextWithin(nodes, i));
        }
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"/", "my \"host\""},
        {"/a%20b/", "a b"},
        {"/a%20b/%3Ci%3E/", "<i>"},
        {"/a%20b/%3Ci%3E/x%FF%23%3F/", "x" + std::string(kReplacement) + "#?"}};
    EXPECT_EQ(links, expected);
    view.hostName.clear();
    const std::vector<MarkupNode> unnamed = Nodes(ModernPage(view));
    EXPECT_EQ(testing::TextWithin(unnamed, Find(unnamed, "a").at(0)), "Home");
    const size_t title = Find(nodes, "title").at(0);
    EXPECT_EQ(testing::TextWithin(nodes, title),
              "/a b/<i>/x" + std::string(kReplacement) + "#?/ \xE2\x80\x94 my \"host\"");
}

TEST(ModernPage, HeadersSortWithoutScriptAndTurnTheActiveColumnRound) {
    struct Case {
        SortKey sort;
        bool descending;
        std::array<std::string, 3> links;  // name, size, time
        std::string sortedHeader;
        std::string sortedAs;
    };
    const Case cases[] = {
        {SortKey::kName,
         false,
         {"?sort=name&order=desc", "?sort=size&order=asc", "?sort=time&order=asc"},
         "name",
         "ascending"},
        {SortKey::kSize,
         true,
         {"?sort=name&order=asc", "?sort=size&order=asc", "?sort=time&order=asc"},
         "size",
         "descending"},
        {SortKey::kTime,
         false,
         {"?sort=name&order=asc", "?sort=size&order=asc", "?sort=time&order=desc"},
         "time",
         "ascending"},
    };
    for (const Case& test : cases) {
        FolderView view = ViewOf({File("a")});
        view.sort = test.sort;
        view.descending = test.descending;
        const std::vector<MarkupNode> nodes = Nodes(ModernPage(view));
        std::vector<std::string> links;
        for (const char* column : {"name", "size", "time"}) {
            const size_t header = Find(nodes, "th", column).at(0);
            links.push_back(*After(nodes, header, "a")->Attribute("href"));
            EXPECT_EQ(nodes[header].Attribute("aria-sort").has_value(), column == test.sortedHeader)
                << column;
        }
        EXPECT_EQ(nodes[Find(nodes, "th", test.sortedHeader).at(0)].Attribute("aria-sort"),
                  test.sortedAs);
        EXPECT_EQ(links, std::vector<std::string>(test.links.begin(), test.links.end()));
        // Where only the name's column shows, its header links the others too.
        std::vector<std::string> nameHeaderLinks;
        for (size_t i = Find(nodes, "th", "name").at(0); i < nodes.size() && nodes[i].tag != "/th";
             ++i) {
            if (nodes[i].tag == "a") {
                nameHeaderLinks.push_back(*nodes[i].Attribute("href"));
            }
        }
        EXPECT_EQ(nameHeaderLinks, links);
    }
}

// Search results keep the search in their sort links and the form, show each
// result's folder, and say whether the search was cut short.
TEST(ModernPage, SearchResultsSayWhatWasSearchedAndWhereEachLies) {
    FolderView view = ViewOf({File("x?.txt")});
    view.entries[0].path = "sub dir/<b>/x?.txt";
    view.search = "\"><script>&";
    for (const bool cut : {false, true}) {
        view.cut = cut;
        const std::vector<MarkupNode> nodes = Nodes(ModernPage(view));
        EXPECT_EQ(Find(nodes, "script").size(), 1u);
        const std::vector<RowFacts> rows = Rows(nodes);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].href, "sub%20dir/%3Cb%3E/x%3F.txt");
        EXPECT_EQ(rows[0].shownName, "x?.txt");
        EXPECT_EQ(testing::TextWithin(nodes, Find(nodes, "span", "within").at(0)), "sub dir/<b>/");
        const std::string line = testing::TextWithin(nodes, Find(nodes, "p", "note").at(0));
        EXPECT_NE(line.find("1 found for \xE2\x80\x9C\"><script>&\xE2\x80\x9D"), std::string::npos)
            << line;
        EXPECT_EQ(line.find("stopped") != std::string::npos, cut) << line;
        const MarkupNode* sortLink = After(nodes, Find(nodes, "th", "size").at(0), "a");
        EXPECT_EQ(sortLink->Attribute("href"), "?q=%22%3E%3Cscript%3E%26&sort=size&order=asc");
        for (const size_t input : Find(nodes, "input")) {
            if (nodes[input].Attribute("name") == "q") {
                EXPECT_EQ(nodes[input].Attribute("value"), *view.search);
            }
        }
    }
}

// Each control stands only where it can work: uploads where the view allows
// them, renaming and deleting where changes are allowed, selection and
// every change on the folder itself, never on search results.
TEST(ModernPage, ControlsAppearOnlyWhereAllowed) {
    struct Case {
        bool mayUpload;
        bool mayChange;
        bool search;
        bool uploads;
        bool changes;
        bool selection;
    };
    const Case cases[] = {
        {false, false, false, false, false, true}, {true, false, false, true, false, true},
        {false, true, false, false, true, true},   {true, true, false, true, true, true},
        {true, true, true, false, false, false},
    };
    for (const Case& test : cases) {
        FolderView view = ViewOf({File("a.txt"), {.name = "b", .folder = true}});
        view.mayUpload = test.mayUpload;
        view.mayChange = test.mayChange;
        if (test.search) {
            view.search = "a";
        }
        const std::string page = ModernPage(view);
        const std::vector<MarkupNode> nodes = Nodes(page);
        size_t uploadControls = 0;
        for (const char* id : {"upload-files", "upload-folder", "new-folder", "files", "folder",
                               "uploads", "cancel"}) {
            uploadControls += std::count_if(nodes.begin(), nodes.end(), [&](const MarkupNode& n) {
                return n.Attribute("id") == id;
            });
        }
        EXPECT_EQ(uploadControls, test.uploads ? 7u : 0u) << test.mayUpload << test.search;
        size_t changeButtons = 0;
        for (const RowFacts& row : Rows(nodes)) {
            changeButtons += row.actionLabels.size();
            EXPECT_EQ(!row.pickLabel.empty(), test.selection);
        }
        EXPECT_EQ(changeButtons, test.changes ? 4u : 0u) << test.mayChange << test.search;
        EXPECT_EQ(Find(nodes, "th", "acts").size(), test.changes ? 1u : 0u);
        const bool zipLink = std::any_of(nodes.begin(), nodes.end(), [](const MarkupNode& n) {
            return n.tag == "a" && n.Attribute("href") == "?format=zip";
        });
        EXPECT_EQ(zipLink, !test.search);
    }
}

TEST(ModernPage, ShowsTheReadmeInAnArticleOnlyWhenThereIsOne) {
    FolderView view = ViewOf({File("a")});
    EXPECT_TRUE(Find(Nodes(ModernPage(view)), "article").empty());
    view.readmeHtml = RenderReadme("# Read me\n\nSome *text*.");
    const std::vector<MarkupNode> nodes = Nodes(ModernPage(view));
    ASSERT_EQ(Find(nodes, "article").size(), 1u);
    EXPECT_EQ(testing::TextWithin(nodes, Find(nodes, "article")[0]), "\nRead me\nSome text.\n");
}

TEST(ModernPage, SaysSoWhenTheFolderIsEmpty) {
    for (const bool empty : {true, false}) {
        const std::vector<MarkupNode> nodes =
            Nodes(ModernPage(ViewOf(empty ? std::vector<FolderEntry>{} : std::vector{File("a")})));
        const auto notice = std::find_if(nodes.begin(), nodes.end(), [](const MarkupNode& node) {
            return node.Attribute("id") == "empty";
        });
        ASSERT_NE(notice, nodes.end());
        EXPECT_EQ(notice->Attribute("hidden").has_value(), !empty);
    }
}

// The policy names the hashes of the style and script the page carries, as
// the browser computes them, and allows nothing from elsewhere.
TEST(ModernPage, PolicyAllowsExactlyTheInlineStyleAndScript) {
    const std::vector<MarkupNode> nodes = Nodes(ModernPage(ViewOf({File("a")})));
    const std::vector<size_t> styles = Find(nodes, "style");
    const std::vector<size_t> scripts = Find(nodes, "script");
    ASSERT_EQ(styles.size(), 1u);
    ASSERT_EQ(scripts.size(), 1u);
    const std::string& style = nodes[styles[0] + 1].text;
    const std::string& script = nodes[scripts[0] + 1].text;
    EXPECT_GT(script.size(), 1000u);
    const std::string& policy = ModernPageSecurityPolicy();
    EXPECT_NE(policy.find("style-src " + Sha256Source(style) + ";"), std::string::npos) << policy;
    EXPECT_NE(policy.find("script-src " + Sha256Source(script) + ";"), std::string::npos) << policy;
    for (const char* directive :
         {"default-src 'none';", "img-src 'self' data:;", "connect-src 'self';",
          "form-action 'self';", "base-uri 'none';", "frame-ancestors 'none'"}) {
        EXPECT_NE(policy.find(directive), std::string::npos) << directive;
    }
    // No other source of code: no inline handlers, no style attributes.
    for (const MarkupNode& node : nodes) {
        for (const auto& [name, value] : node.attributes) {
            EXPECT_FALSE(name.starts_with("on") || name == "style") << node.tag << " " << name;
        }
    }
}

}  // namespace
}  // namespace quorvane::responses
