#include "responses/folder_query.h"

#include <algorithm>

#include "http/escaping.h"

namespace quorvane::responses {

namespace {

std::optional<std::string> FormValue(std::string_view raw) {
    std::string spaced(raw);
    std::replace(spaced.begin(), spaced.end(), '+', ' ');
    return http::PercentDecode(spaced);
}

bool NamesAnEntry(std::string_view pick) {
    return !pick.empty() && pick != "." && pick != ".." &&
           pick.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

void Apply(ListingQuery& query, std::string_view key, const std::string& value) {
    if (key == "sort") {
        if (value == "name" || value == "size" || value == "time") {
            query.sort = value == "name"   ? SortKey::kName
                         : value == "size" ? SortKey::kSize
                                           : SortKey::kTime;
        }
    } else if (key == "order") {
        if (value == "asc" || value == "desc") {
            query.descending = value == "desc";
        }
    } else if (key == "q") {
        query.search = value.empty() ? std::nullopt : std::optional<std::string>(value);
    } else if (key == "format") {
        static constexpr std::pair<std::string_view, ListingFormat> kFormats[] = {
            {"page", ListingFormat::kPage},
            {"json", ListingFormat::kJson},
            {"zip", ListingFormat::kZip},
            {"thumbnail", ListingFormat::kThumbnail}};
        for (const auto& [name, format] : kFormats) {
            if (value == name) {
                query.format = format;
            }
        }
    } else if (key == "pick" && NamesAnEntry(value) &&
               std::find(query.picks.begin(), query.picks.end(), value) == query.picks.end()) {
        query.picks.push_back(value);
    }
}

}  // namespace

ListingQuery ParseListingQuery(std::string_view rawQuery) {
    ListingQuery query;
    while (!rawQuery.empty()) {
        const size_t end = std::min(rawQuery.find('&'), rawQuery.size());
        const std::string_view pair = rawQuery.substr(0, end);
        rawQuery.remove_prefix(std::min(end + 1, rawQuery.size()));
        const size_t equals = pair.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const std::optional<std::string> key = FormValue(pair.substr(0, equals));
        const std::optional<std::string> value = FormValue(pair.substr(equals + 1));
        if (key && value) {
            Apply(query, *key, *value);
        }
    }
    return query;
}

}  // namespace quorvane::responses
