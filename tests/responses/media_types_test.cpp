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

}  // namespace
}  // namespace quorvane::responses
