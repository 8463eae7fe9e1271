#include "responses/folder_search.h"

#include <algorithm>

namespace quorvane::responses {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool HoldsIgnoringCase(std::string_view name, std::string_view query) {
    return std::search(name.begin(), name.end(), query.begin(), query.end(),
                       [](char a, char b) { return Lower(a) == Lower(b); }) != name.end();
}

}  // namespace

FolderSearch SearchFolder(FolderWalk& walk, std::string_view query, size_t most) {
    FolderSearch search;
    while (std::optional<WalkEntry> entry = walk.Next()) {
        if (!HoldsIgnoringCase(entry->segments.back(), query)) {
            continue;
        }
        if (search.found.size() == most) {
            search.resultsCut = true;
            break;
        }
        search.found.push_back(std::move(*entry));
    }
    search.walkCut = walk.Cut();
    return search;
}

}  // namespace quorvane::responses
