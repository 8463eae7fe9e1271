#include "responses/folder_answers.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <ctime>

#include "config/text.h"
#include "responses/entry_order.h"
#include "responses/error_pages.h"
#include "responses/folder_json.h"
#include "responses/folder_page.h"
#include "responses/folder_query.h"
#include "responses/folder_search.h"
#include "responses/folder_zip.h"
#include "responses/listing_cache.h"
#include "responses/readme_text.h"
#include "responses/standard_response.h"
#include "responses/validators.h"
#include "server/limits.h"

namespace quorvane::responses {

namespace {

FolderEntry ShownOf(const FolderAsk& ask, const std::string& name, const struct stat& info,
                    std::string path = {}) {
    const bool folder = S_ISDIR(info.st_mode);
    return {.name = name,
            .folder = folder,
            .size = folder ? 0 : static_cast<uint64_t>(info.st_size),
            .modified = Clock::from_time_t(info.st_mtim.tv_sec),
            .etag = folder ? std::string() : DocumentEtag(info, std::nullopt),
            .thumbnail = !folder && ask.thumbnailable && ask.thumbnailable(name),
            .path = std::move(path)};
}

// The folder's README.md (any letter case), rendered; empty when it has none.
std::string ReadmeOf(const FolderAsk& ask, const std::vector<ListedEntry>& entries) {
    for (const ListedEntry& entry : entries) {
        if (entry.folder || !config::EqualsIgnoringCase(entry.name, "README.md") ||
            entry.size > kMaxReadmeBytes) {
            continue;
        }
        const config::FileHandle file{::open((ask.resolution.folder / entry.name).c_str(),
                                             O_RDONLY | O_CLOEXEC | O_NOFOLLOW)};
        std::string text(entry.size, '\0');
        if (file &&
            ::pread(file.Get(), text.data(), text.size(), 0) == static_cast<ssize_t>(text.size())) {
            return RenderReadme(text);
        }
    }
    return {};
}

FolderView ViewOf(const FolderAsk& ask, const ListingQuery& query) {
    FolderView view{.directory = ask.resolution.directory,
                    .hostName = ask.scope.host.hostName,
                    .top = ask.top,
                    .topName = ask.topName,
                    .mayUpload = ask.mayUpload,
                    .mayChange = ask.mayChange,
                    .sort = query.sort,
                    .descending = query.descending,
                    .search = query.search,
                    .now = ask.scope.now};
    return view;
}

// A search of the tree below the folder, bounded in entries, depth and time;
// what it shows follows the same rules as the folder's own listing.
void AddResults(const FolderAsk& ask, FolderView& view) {
    FolderWalk walk(ask.resolution.base, ask.resolution.below, ask.shown,
                    {.mostEntries = kSearchedEntries,
                     .deepest = kSearchDepth,
                     .deadline = std::chrono::steady_clock::now() + kSearchTime});
    const FolderSearch found = SearchFolder(walk, *view.search, kSearchResults);
    for (const WalkEntry& entry : found.found) {
        std::string path;
        for (const std::string& segment : entry.segments) {
            path += (path.empty() ? "" : "/") + segment;
        }
        view.entries.push_back(ShownOf(ask, entry.segments.back(), entry.info, std::move(path)));
    }
    view.cut = found.walkCut || found.resultsCut;
}

std::shared_ptr<const std::string> ListingText(const FolderAsk& ask, const ListingQuery& query,
                                               bool json) {
    const config::OwnFiles own =
        OwnFilesWithKey(ask.scope.folder, ask.scope.settings,
                        ask.scope.snapshots.OwnFilesOf(ask.scope.folder).get());
    const auto make = [&](const std::vector<ListedEntry>& entries) {
        FolderView view = ViewOf(ask, query);
        for (const ListedEntry& entry : entries) {
            view.entries.push_back(ShownOf(ask, entry.name, entry.info));
        }
        SortEntries(view.entries, view.sort, view.descending);
        if (json) {
            return FolderJson(view);
        }
        view.readmeHtml = ReadmeOf(ask, entries);
        return ModernPage(view);
    };
    // Dates read "today" or "yesterday": a page is made again the next day.
    const std::time_t now = Clock::to_time_t(ask.scope.now);
    std::tm local{};
    ::localtime_r(&now, &local);
    const int day = local.tm_year * 400 + local.tm_yday;
    std::string variant = json ? "json" : "modern";
    for (const std::string_view part :
         {std::string_view(ask.resolution.directory), std::string_view(ask.scope.host.hostName)}) {
        variant.append(1, '\0').append(part);
    }
    variant += '\0';
    variant += std::to_string(static_cast<int>(query.sort)) + (query.descending ? "d" : "a") +
               (ask.mayUpload ? "u" : "-") + (ask.mayChange ? "c" : "-") + std::to_string(day);
    ListingCache once;
    return (ask.scope.listings != nullptr ? *ask.scope.listings : once)
        .Page(ask.resolution.folder, own, variant, make);
}

http::Response FolderPage(const FolderAsk& ask, const ListingQuery& query, bool json) {
    http::Response reply =
        StandardResponse({.contentType = json ? std::string_view("application/json") : kPageType});
    if (query.search) {
        FolderView view = ViewOf(ask, query);
        AddResults(ask, view);
        SortEntries(view.entries, view.sort, view.descending);
        reply.body = json ? FolderJson(view) : ModernPage(view);
    } else {
        reply.body = ListingText(ask, query, json);
    }
    if (!json) {
        reply.fields.Add("Content-Security-Policy", ModernPageSecurityPolicy());
    }
    reply.fields.Add("X-Content-Type-Options", "nosniff");
    reply.fields.Add("Vary", "Accept");
    return reply;
}

http::Response FolderAsZip(const FolderAsk& ask, const ListingQuery& query) {
    std::optional<ZipSlots::Slot> slot =
        ask.scope.zips != nullptr ? ask.scope.zips->Take() : ZipSlots::Slot();
    if (!slot) {
        http::Response busy = SendRequestErrorPage(Status::kServiceUnavailable, ask.scope.now);
        busy.fields.Add("Retry-After", std::to_string(kZipRetrySeconds));
        return busy;
    }
    const Resolution& at = ask.resolution;
    FolderWalk walk(at.base, at.below, ask.taken,
                    {.mostEntries = kZippedEntries, .deepest = kZipDepth});
    // Named after the folder as the visitor sees it; the top after its own
    // name, or the host.
    std::string_view shown = at.directory;
    const std::string& topName = ask.topName.empty() ? ask.scope.host.hostName : ask.topName;
    shown.remove_suffix(shown.ends_with('/') ? 1 : 0);
    const std::string name = at.directory == ask.top || shown.empty()
                                 ? topName
                                 : std::string(shown.substr(shown.rfind('/') + 1));
    http::Response reply = StandardResponse({.contentType = "application/zip"});
    reply.fields.Add("Content-Disposition", AttachmentDisposition(name + ".zip"));
    reply.fields.Add("X-Content-Type-Options", "nosniff");
    reply.body = std::make_shared<FolderZip>(
        std::move(walk), ZipChoice{.topName = name, .picks = query.picks}, std::move(*slot));
    return reply;
}

bool AsksForJson(const http::Request& request) {
    const std::string accept = config::ToUpperAscii(request.Accept().value_or(""));
    return accept.find("APPLICATION/JSON") != std::string::npos &&
           accept.find("TEXT/HTML") == std::string::npos;
}

}  // namespace

http::Response AnswerFolder(const FolderAsk& ask) {
    const ListingQuery query = ParseListingQuery(ask.request.target->query);
    switch (query.format) {
        case ListingFormat::kZip:
            return FolderAsZip(ask, query);
        case ListingFormat::kJson:
            return FolderPage(ask, query, true);
        default:
            return FolderPage(ask, query, AsksForJson(ask.request));
    }
}

}  // namespace quorvane::responses
