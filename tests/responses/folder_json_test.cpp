#include "responses/folder_json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "config/text.h"

namespace quorvane::responses {
namespace {

using namespace std::chrono;
using nlohmann::json;

const system_clock::time_point kNow = sys_days{year{2026} / June / 15} + hours(12);

json Parsed(const FolderView& view) {
    const std::string text = FolderJson(view);
    EXPECT_EQ(config::ValidUtf8(text), text);
    return json::parse(text);  // throws, failing the test, on anything malformed
}

// What a hostile name becomes: its UTF-8 exactly (ill-formed bytes as
// U+FFFD), its bytes in the link, and what the page shows of it.
TEST(FolderJson, HostileNamesParseBackToTheirTextAndBytes) {
    const std::string r = "\xEF\xBF\xBD";
    struct Case {
        std::string name;
        std::string text;
        std::string href;
        std::string label;
    };
    const Case cases[] = {
        {"\"quoted\" \\ back", "\"quoted\" \\ back", "%22quoted%22%20%5C%20back",
         "\"quoted\" \\ back"},
        {"</script><b>&", "</script><b>&", "%3C%2Fscript%3E%3Cb%3E%26", "</script><b>&"},
        {"two\nlines\t\x01", "two\nlines\t\x01", "two%0Alines%09%01", "two" + r + "lines" + r + r},
        {"report\xE2\x80\xAEtxt.exe", "report\xE2\x80\xAEtxt.exe", "report%E2%80%AEtxt.exe",
         "report" + r + "txt.exe"},
        {"line\xE2\x80\xA8sep", "line\xE2\x80\xA8sep", "line%E2%80%A8sep", "line\xE2\x80\xA8sep"},
        {"bad\xFF\xC3(", "bad" + r + r + "(", "bad%FF%C3%28", "bad" + r + r + "("},
        {"100% #1 ?", "100% #1 ?", "100%25%20%231%20%3F", "100% #1 ?"},
    };
    FolderView view{.directory = "/d/", .now = kNow};
    for (const Case& test : cases) {
        view.entries.push_back({.name = test.name, .size = 7, .etag = "\"e\""});
    }
    const json parsed = Parsed(view);
    ASSERT_EQ(parsed["entries"].size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const json& entry = parsed["entries"][i];
        EXPECT_EQ(entry["name"], cases[i].text) << i;
        EXPECT_EQ(entry["href"], cases[i].href) << i;
        EXPECT_EQ(entry["label"], cases[i].label) << i;
    }
}

TEST(FolderJson, StatesEachEntryAsThePageShowsIt) {
    FolderView view{.directory = "/docs/sub/",
                    .entries = {{.name = "pics",
                                 .folder = true,
                                 .modified = sys_days{year{2026} / June / 15} + hours(9)},
                                {.name = "a.jpg",
                                 .size = 4'200'000,
                                 .modified = sys_days{year{2025} / March / 3} + hours(9),
                                 .etag = "\"5-abc\"",
                                 .thumbnail = true}},
                    .mayUpload = true,
                    .now = kNow};
    const json parsed = Parsed(view);
    EXPECT_EQ(parsed["directory"], "/docs/sub/");
    EXPECT_EQ(parsed["mayUpload"], true);
    EXPECT_EQ(parsed["mayChange"], false);
    EXPECT_FALSE(parsed.contains("cut"));
    EXPECT_FALSE(parsed.contains("search"));
    const json& folder = parsed["entries"][0];
    EXPECT_EQ(folder["kind"], "folder");
    EXPECT_EQ(folder["type"], "folder");
    EXPECT_EQ(folder["href"], "pics/");
    EXPECT_EQ(folder["sizeText"], "\xE2\x80\x94");
    const json& image = parsed["entries"][1];
    EXPECT_EQ(image["kind"], "file");
    EXPECT_EQ(image["type"], "image");
    EXPECT_EQ(image["size"], 4'200'000);
    EXPECT_EQ(image["sizeText"], "4.2 MB");
    EXPECT_EQ(image["modified"], "2025-03-03T09:00:00Z");
    EXPECT_EQ(image["etag"], "\"5-abc\"");
    EXPECT_EQ(image["thumbnail"], true);
    EXPECT_FALSE(image.contains("path"));
}

TEST(FolderJson, SearchResultsCarryTheirPathsAndWhetherTheSearchWasCut) {
    FolderView view{.directory = "/",
                    .entries = {{.name = "x y.txt", .path = "a/b\xFF/x y.txt"}},
                    .search = "y",
                    .cut = true,
                    .now = kNow};
    const json parsed = Parsed(view);
    EXPECT_EQ(parsed["search"], "y");
    EXPECT_EQ(parsed["cut"], true);
    const json& entry = parsed["entries"][0];
    EXPECT_EQ(entry["name"], "x y.txt");
    EXPECT_EQ(entry["path"], "a/b\xEF\xBF\xBD/x y.txt");
    EXPECT_EQ(entry["within"], "a/b\xEF\xBF\xBD/");
    EXPECT_EQ(entry["href"], "a/b%FF/x%20y.txt");
}

}  // namespace
}  // namespace quorvane::responses
