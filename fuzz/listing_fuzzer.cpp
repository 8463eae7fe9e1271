// Folder listings: any query reads without fault and keeps only picks that
// name an entry; any names (one per NUL-separated piece, a '/' making a
// search result's path) come out of the JSON as their text and, decoded,
// their bytes, and the page stays UTF-8 with the one script it carries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "config/text.h"
#include "http/escaping.h"
#include "responses/entry_order.h"
#include "responses/folder_json.h"
#include "responses/folder_page.h"
#include "responses/folder_query.h"

using namespace quorvane;

namespace {

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

size_t Count(std::string_view text, std::string_view part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t end = std::min(input.find('\0'), input.size());
    const responses::ListingQuery query = responses::ParseListingQuery(input.substr(0, end));
    for (const std::string& pick : query.picks) {
        Check(!pick.empty() && pick != "." && pick != ".." &&
              pick.find_first_of(std::string_view("/\0", 2)) == std::string::npos);
    }
    Check(!query.search || !query.search->empty());

    responses::FolderView view{.directory = "/d/", .mayUpload = true, .mayChange = true};
    view.search = query.search;
    input.remove_prefix(std::min(end + 1, input.size()));
    while (!input.empty() && view.entries.size() < 64) {
        const size_t piece = std::min(input.find('\0'), input.size());
        const std::string path(input.substr(0, piece));
        input.remove_prefix(std::min(piece + 1, input.size()));
        const size_t slash = path.rfind('/');
        responses::FolderEntry entry{.name = path.substr(slash + 1),
                                     .folder = path.size() % 2 == 1};
        if (slash != std::string::npos) {
            entry.path = path;
        }
        view.entries.push_back(std::move(entry));
    }
    responses::SortEntries(view.entries, query.sort, query.descending);

    const nlohmann::json json = nlohmann::json::parse(responses::FolderJson(view));
    for (size_t i = 0; i < view.entries.size(); ++i) {
        const responses::FolderEntry& entry = view.entries[i];
        const nlohmann::json& shown = json["entries"][i];
        Check(shown["name"] == config::ValidUtf8(entry.name));
        const std::string href = shown["href"];
        Check(href.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                     "0123456789%-._~/") == std::string::npos);
        const std::string linked =
            (entry.path.empty() ? entry.name : entry.path) + (entry.folder ? "/" : "");
        Check(http::PercentDecode(href) == linked);
    }
    const std::string page = responses::ModernPage(view);
    Check(config::ValidUtf8(page) == page);
    Check(Count(page, "<script") == 1 && Count(page, "</script") == 1);
    return 0;
}
