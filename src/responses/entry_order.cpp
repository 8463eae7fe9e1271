#include "responses/entry_order.h"

#include <algorithm>
#include <string_view>

namespace quorvane::responses {

namespace {

unsigned char Folded(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte;
}

// Negative, zero or positive as `a` goes before, with or after `b` by name.
int CompareNames(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        if (Folded(a[i]) != Folded(b[i])) {
            return Folded(a[i]) < Folded(b[i]) ? -1 : 1;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return a.compare(b);
}

int CompareKeys(const FolderEntry& a, const FolderEntry& b, SortKey key) {
    switch (key) {
        case SortKey::kSize:
            return a.size < b.size ? -1 : a.size > b.size ? 1 : 0;
        case SortKey::kTime:
            return a.modified < b.modified ? -1 : a.modified > b.modified ? 1 : 0;
        case SortKey::kName:
            break;
    }
    return CompareNames(a.name, b.name);
}

}  // namespace

void SortEntries(std::vector<FolderEntry>& entries, SortKey key, bool descending) {
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const FolderEntry& a, const FolderEntry& b) {
                         if (a.folder != b.folder) {
                             return a.folder;
                         }
                         if (const int byKey = CompareKeys(a, b, key); byKey != 0) {
                             return descending ? byKey > 0 : byKey < 0;
                         }
                         // Search results may hold one name in several folders.
                         const int byName = CompareNames(a.name, b.name);
                         return byName != 0 ? byName < 0 : a.path < b.path;
                     });
}

}  // namespace quorvane::responses
