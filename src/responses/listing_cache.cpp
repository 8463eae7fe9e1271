#include "responses/listing_cache.h"

#include <fcntl.h>

#include <algorithm>
#include <utility>

#include "config/file_handle.h"
#include "server/limits.h"

namespace quorvane::responses {

namespace fs = std::filesystem;

namespace {

bool SameFolder(const struct stat& a, const struct stat& b) {
    // An entry added, removed or renamed moves the folder's times; a file
    // written in place is seen by its own size and time.
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
           a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

}  // namespace

struct ListingCache::Kept {
    std::string folderPath;
    struct stat folder {};
    Entries entries;
    config::OwnFiles own;  // left out of the entries
    std::vector<std::pair<std::string, std::shared_ptr<const std::string>>> pages;
    uint64_t lastUse = 0;
};

ListingCache::ListingCache() = default;
ListingCache::~ListingCache() = default;

ListingCache::Kept* ListingCache::Find(const fs::path& folder, const config::OwnFiles& own) {
    config::FileHandle folderFd{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    struct stat info {};
    if (!folderFd || ::fstat(folderFd.Get(), &info) != 0) {
        return nullptr;
    }
    ++uses_;
    auto slot = std::find_if(kept_.begin(), kept_.end(),
                             [&](const Kept& kept) { return kept.folderPath == folder.native(); });
    if (slot != kept_.end() && SameFolder(slot->folder, info) && slot->own == own &&
        std::all_of(slot->entries->begin(), slot->entries->end(),
                    [&](const ListedEntry& entry) { return Unchanged(folderFd.Get(), entry); })) {
        slot->lastUse = uses_;
        return &*slot;
    }
    Kept fresh{folder.native(),
               info,
               std::make_shared<const std::vector<ListedEntry>>(ListFolder(folderFd.Get(), own)),
               own,
               {},
               uses_};
    if (slot == kept_.end() && kept_.size() < kKeptListingPages) {
        return &kept_.emplace_back(std::move(fresh));
    }
    if (slot == kept_.end()) {
        slot = std::min_element(kept_.begin(), kept_.end(),
                                [](const Kept& a, const Kept& b) { return a.lastUse < b.lastUse; });
    }
    *slot = std::move(fresh);
    return &*slot;
}

ListingCache::Entries ListingCache::EntriesOf(const fs::path& folder, const config::OwnFiles& own) {
    const Kept* kept = Find(folder, own);
    return kept != nullptr ? kept->entries : std::make_shared<const std::vector<ListedEntry>>();
}

std::shared_ptr<const std::string> ListingCache::Page(const fs::path& folder,
                                                      const config::OwnFiles& own,
                                                      std::string_view variant,
                                                      const MakePage& make) {
    Kept* kept = Find(folder, own);
    if (kept == nullptr) {
        return std::make_shared<const std::string>(make({}));
    }
    for (const auto& [name, page] : kept->pages) {
        if (name == variant) {
            return page;
        }
    }
    auto page = std::make_shared<const std::string>(make(*kept->entries));
    if (kept->pages.size() >= kPagesPerKeptFolder) {
        kept->pages.erase(kept->pages.begin());  // the oldest variant
    }
    kept->pages.emplace_back(std::string(variant), page);
    return page;
}

}  // namespace quorvane::responses
