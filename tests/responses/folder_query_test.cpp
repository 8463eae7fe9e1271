#include "responses/folder_query.h"

#include <gtest/gtest.h>

namespace quorvane::responses {
namespace {

TEST(ParseListingQuery, ReadsEachSettingAndFallsBackOnAnythingElse) {
    struct Case {
        std::string_view raw;
        SortKey sort;
        bool descending;
        ListingFormat format;
    };
    const Case cases[] = {
        {"", SortKey::kName, false, ListingFormat::kPage},
        {"sort=size&order=desc", SortKey::kSize, true, ListingFormat::kPage},
        {"order=desc&sort=time&format=json", SortKey::kTime, true, ListingFormat::kJson},
        {"format=zip", SortKey::kName, false, ListingFormat::kZip},
        {"format=thumbnail", SortKey::kName, false, ListingFormat::kThumbnail},
        {"format=page&format=json", SortKey::kName, false, ListingFormat::kJson},
        // Unknown values, other letter case, escapes that break: the default.
        {"sort=SIZE&order=DESC&format=Json", SortKey::kName, false, ListingFormat::kPage},
        {"Sort=size&ORDER=desc", SortKey::kName, false, ListingFormat::kPage},
        {"sort=%7A&order=d%ZZ&format=%", SortKey::kName, false, ListingFormat::kPage},
        {"sort=size&sort=bogus", SortKey::kSize, false, ListingFormat::kPage},
        {"sort=size&sort=time", SortKey::kTime, false, ListingFormat::kPage},
        {"sort=s%69ze&order=%64esc", SortKey::kSize, true, ListingFormat::kPage},
        {"&&=&sort&order==desc&;format=zip", SortKey::kName, false, ListingFormat::kPage},
        {"sort%3Dsize&format=zip#x", SortKey::kName, false, ListingFormat::kPage},
    };
    for (const Case& test : cases) {
        const ListingQuery query = ParseListingQuery(test.raw);
        EXPECT_EQ(query.sort, test.sort) << test.raw;
        EXPECT_EQ(query.descending, test.descending) << test.raw;
        EXPECT_EQ(query.format, test.format) << test.raw;
    }
}

TEST(ParseListingQuery, SearchTextIsDecodedAsAFormSendsIt) {
    const std::pair<std::string_view, std::optional<std::string>> cases[] = {
        {"q=holiday+photos", "holiday photos"},
        {"q=a%2Bb%20c", "a+b c"},
        {"q=%3Cscript%3E%22%26", "<script>\"&"},
        {"q=%E2%80%AE%FF", "\xE2\x80\xAE\xFF"},
        {"q=", std::nullopt},
        {"q=+", " "},
        {"q=%zz", std::nullopt},
        {"q=50%", std::nullopt},
        {"q=first&q=second", "second"},
        {"q=first&q=", std::nullopt},
        {"q", std::nullopt},
    };
    for (const auto& [raw, search] : cases) {
        EXPECT_EQ(ParseListingQuery(raw).search, search) << raw;
    }
}

// A pick names an entry of this folder, so nothing that could step
// elsewhere or name nothing is kept; each name counts once.
TEST(ParseListingQuery, PicksAreNamesOfThisFolderEachOnce) {
    const std::pair<std::string_view, std::vector<std::string>> cases[] = {
        {"format=zip&pick=a&pick=b+c&pick=a", {"a", "b c"}},
        {"pick=..&pick=.&pick=&pick=a%2Fb&pick=a/b&pick=%00x&pick=ok", {"ok"}},
        {"pick=...&pick=.hidden", {"...", ".hidden"}},
        {"pick=%E2%80%AEexe.txt&pick=%FF",
         {"\xE2\x80\xAE"
          "exe.txt",
          "\xFF"}},
        {"pick=%2E%2E&pick=bad%&pick=%G0", {}},
        {"pick&pick=x=y", {"x=y"}},
    };
    for (const auto& [raw, picks] : cases) {
        EXPECT_EQ(ParseListingQuery(raw).picks, picks) << raw;
    }
}

}  // namespace
}  // namespace quorvane::responses
