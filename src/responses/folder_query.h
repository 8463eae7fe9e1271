#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "responses/folder_view.h"

namespace quorvane::responses {

enum class ListingFormat { kPage, kJson, kZip, kThumbnail };

// What a folder's query asks of its listing.
struct ListingQuery {
    SortKey sort = SortKey::kName;
    bool descending = false;
    std::optional<std::string> search;  // never empty
    ListingFormat format = ListingFormat::kPage;
    std::vector<std::string> picks;  // names in this folder, decoded, each once
};

// Reads "sort=name|size|time", "order=asc|desc", "q=TEXT",
// "format=page|json|zip|thumbnail" and any number of "pick=NAME", decoded as
// a form sends them ("+" is a space). A value that is unknown or badly
// escaped leaves the default; of repeated settings the last one counts. A
// pick that is empty, "." or "..", or holds "/" or a NUL byte, names nothing
// here and is dropped. Never fails.
ListingQuery ParseListingQuery(std::string_view rawQuery);

}  // namespace quorvane::responses
