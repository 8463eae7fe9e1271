#include "responses/media_types.h"

#include <gtest/gtest.h>

#include "responses/fallback_type.h"
#include "support/temp_folder.h"

namespace quorvane::responses {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kTable =
    "# a comment naming text/fake fake\r\n"
    "video/mp4\t\t\t\tmp4 MPG4 m4v\r\n"
    "application/gzip gz   # trailing comment tgz\n"
    "application/x-empty\n"
    "image/webp webp\n"
    "chemical/x-chemdraw chm\n"  // a name listed twice keeps its first type
    "application/vnd.ms-htmlhelp chm\n"
    "not a type nat\n"
    "text/pl\"ain bad\n"
    "text/x\x01y ctl\n"
    "   font/woff2 woff2\n";

TEST(SystemMediaTypes, FindsTheLastExtensionIgnoringCase) {
    testing::TempFolder temp;
    SystemMediaTypes table(temp.Write("mime.types", kTable));
    const auto now = SystemMediaTypes::Clock::now();
    const std::vector<std::pair<std::string_view, std::optional<std::string>>> cases = {
        {"clip.mp4", "video/mp4"},
        {"CLIP.MP4", "video/mp4"},
        {"clip.mpg4", "video/mp4"},
        {"/films/a.b/clip.M4v", "video/mp4"},
        {"backup.tar.gz", "application/gzip"},
        {"image.WebP", "image/webp"},
        {"font.woff2", "font/woff2"},
        {"help.chm", "chemical/x-chemdraw"},
        {"old.tgz", std::nullopt},
        {"x.fake", std::nullopt},
        {"x.nat", std::nullopt},
        {"x.bad", std::nullopt},
        {"x.ctl", std::nullopt},
        {"README", std::nullopt},
        {"a.mp4/README", std::nullopt},
        {"name.", std::nullopt},
        {"gz", std::nullopt},
    };
    for (const auto& [name, type] : cases) {
        EXPECT_EQ(table.TypeOf(name, now), type) << name;
    }
}

TEST(SystemMediaTypes, RereadsAChangedTableAtMostOnceASecond) {
    testing::TempFolder temp;
    SystemMediaTypes table(temp.Path() / "mime.types");
    const auto start = SystemMediaTypes::Clock::now();
    EXPECT_EQ(table.TypeOf("a.wasm", start), std::nullopt);  // no table yet

    temp.Write("mime.types", "application/wasm wasm\n");
    EXPECT_EQ(table.TypeOf("a.wasm", start + 999ms), std::nullopt);
    EXPECT_EQ(table.TypeOf("a.wasm", start + 1s), "application/wasm");

    temp.Write("mime.types", "application/x-wasm-module wasm\n");
    EXPECT_EQ(table.TypeOf("a.wasm", start + 1500ms), "application/wasm");
    EXPECT_EQ(table.TypeOf("a.wasm", start + 2s), "application/x-wasm-module");

    std::filesystem::remove(temp.Path() / "mime.types");
    EXPECT_EQ(table.TypeOf("a.wasm", start + 3s), std::nullopt);
}

std::string KibibyteEndingWith(std::string_view tail) {
    return std::string(kSniffedBytes - tail.size(), 'a') + std::string(tail);
}

TEST(FallbackContentType, Utf8WithoutNulIsText) {
    const std::string_view text = "text/plain";
    const std::string_view binary = "application/octet-stream";
    const std::vector<std::tuple<std::string, uint64_t, std::string_view>> cases = {
        {"", 0, text},
        {"plain words\r\n", 13, text},
        {"caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80", 16, text},
        {std::string("a\0b", 3), 3, binary},
        {"\x89PNG\r\n\x1a\n", 8, binary},
        {"\xff\xfe", 2, binary},
        {"\xc0\xaf", 2, binary},          // overlong
        {"\xe0\x80\xaf", 3, binary},      // overlong
        {"\xed\xa0\x80", 3, binary},      // surrogate
        {"\xf4\x90\x80\x80", 4, binary},  // past U+10FFFF
        {"\x80", 1, binary},              // continuation without lead
        {"\xc3\x28", 2, binary},          // lead without continuation
        {"caf\xc3", 4, binary},           // cut by the file's own end
        {KibibyteEndingWith("\xe2\x82"), 4096, text},
        {KibibyteEndingWith("\xf0\x9f\x98"), 4096, text},
        {KibibyteEndingWith("\xe2\x82"), kSniffedBytes, binary},
        {KibibyteEndingWith("\xe0\x80"), 4096, binary},
        {KibibyteEndingWith(std::string_view("\0", 1)), 4096, binary},
    };
    for (const auto& [head, size, type] : cases) {
        EXPECT_EQ(FallbackContentType(head, size), type) << ::testing::PrintToString(head);
    }
}

}  // namespace
}  // namespace quorvane::responses
