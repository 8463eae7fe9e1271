#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/program_folder.h"
#include "responses/folder_entries.h"

namespace quorvane::responses {

// The folders listed last, each kept with its entries while the folder and
// every entry (kind, size, time) are as they were, so a folder asked for
// again is checked (one stat per entry) rather than read and sorted anew,
// and with the pages made from those entries, each under the variant that
// names what else it depends on (its style, its order, its host), so
// concurrent listings of one folder share one page. Used on the engine's
// thread only.
class ListingCache {
  public:
    using Entries = std::shared_ptr<const std::vector<ListedEntry>>;
    using MakePage = std::function<std::string(const std::vector<ListedEntry>&)>;

    ListingCache();
    ~ListingCache();
    ListingCache(const ListingCache&) = delete;
    ListingCache& operator=(const ListingCache&) = delete;

    // The folder's entries (none when it cannot be opened).
    Entries EntriesOf(const std::filesystem::path& folder, const config::OwnFiles& own);
    // The page `variant` names, made from the entries by `make` unless kept.
    std::shared_ptr<const std::string> Page(const std::filesystem::path& folder,
                                            const config::OwnFiles& own, std::string_view variant,
                                            const MakePage& make);

  private:
    struct Kept;
    Kept* Find(const std::filesystem::path& folder, const config::OwnFiles& own);

    std::vector<Kept> kept_;
    uint64_t uses_ = 0;
};

}  // namespace quorvane::responses
