#include "responses/entry_order.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quorvane::responses {
namespace {

using namespace std::chrono;

const system_clock::time_point kDay = sys_days{year{2026} / June / 15};

std::vector<FolderEntry> Entries() {
    return {
        {.name = "b.txt", .size = 30, .modified = kDay + hours(1)},
        {.name = "A.txt", .size = 10, .modified = kDay + hours(3)},
        {.name = "a.txt", .size = 10, .modified = kDay + hours(3)},
        {.name = "zeta", .folder = true, .modified = kDay + hours(2)},
        {.name = "Alpha", .folder = true, .modified = kDay + hours(5)},
        {.name = "B.TXT", .size = 20, .modified = kDay + hours(4)},
        {.name = "\xC3\xA9t\xC3\xA9.txt", .size = 30, .modified = kDay},
    };
}

std::vector<std::string> Names(const std::vector<FolderEntry>& entries) {
    std::vector<std::string> names;
    for (const FolderEntry& entry : entries) {
        names.push_back(entry.name);
    }
    return names;
}

// Folders first in every order; letter case set aside, then the bytes;
// equal sizes and times by name, ascending, whichever way the key runs.
TEST(SortEntries, FoldersFirstThenTheKeyThenTheName) {
    struct Case {
        SortKey key;
        bool descending;
        std::vector<std::string> names;
    };
    const std::string accented = "\xC3\xA9t\xC3\xA9.txt";
    const Case cases[] = {
        {SortKey::kName, false, {"Alpha", "zeta", "A.txt", "a.txt", "B.TXT", "b.txt", accented}},
        {SortKey::kName, true, {"zeta", "Alpha", accented, "b.txt", "B.TXT", "a.txt", "A.txt"}},
        {SortKey::kSize, false, {"Alpha", "zeta", "A.txt", "a.txt", "B.TXT", "b.txt", accented}},
        {SortKey::kSize, true, {"Alpha", "zeta", "b.txt", accented, "B.TXT", "A.txt", "a.txt"}},
        {SortKey::kTime, false, {"zeta", "Alpha", accented, "b.txt", "A.txt", "a.txt", "B.TXT"}},
        {SortKey::kTime, true, {"Alpha", "zeta", "B.TXT", "A.txt", "a.txt", "b.txt", accented}},
    };
    for (const Case& test : cases) {
        std::vector<FolderEntry> entries = Entries();
        SortEntries(entries, test.key, test.descending);
        EXPECT_EQ(Names(entries), test.names)
            << static_cast<int>(test.key) << " " << test.descending;
    }
}

// Whatever order the folder was read in, the page comes out the same.
TEST(SortEntries, TheOrderReadDoesNotMatter) {
    std::vector<FolderEntry> first = Entries();
    SortEntries(first, SortKey::kSize, false);
    std::vector<FolderEntry> entries = Entries();
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    int permutations = 0;
    do {
        std::vector<FolderEntry> sorted = entries;
        SortEntries(sorted, SortKey::kSize, false);
        ASSERT_EQ(Names(sorted), Names(first));
        ++permutations;
    } while (std::next_permutation(
        entries.begin(), entries.end(),
        [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; }));
    EXPECT_EQ(permutations, 5040);
}

TEST(SortEntries, SearchResultsOfOneNameGoByTheirPaths) {
    std::vector<FolderEntry> entries = {{.name = "x", .path = "b/x"}, {.name = "x", .path = "a/x"}};
    SortEntries(entries, SortKey::kName, false);
    EXPECT_EQ(entries[0].path, "a/x");
    EXPECT_EQ(entries[1].path, "b/x");
}

}  // namespace
}  // namespace quorvane::responses
