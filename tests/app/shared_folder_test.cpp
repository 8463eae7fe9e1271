// A folder shared from the command line: what the run puts in place of the
// settings, and how a person (and a phone's camera) learns its address.
#include "app/shared_folder.h"

#include <gtest/gtest.h>

#include <QImage>

#include "ui/qr_reader.h"

namespace quorvane::app {
namespace {

std::string ValueOf(const config::RunOverrides& overrides, std::string_view key) {
    for (const config::SettingWrite& write : overrides.settings) {
        if (write.key == key) {
            return write.value;
        }
    }
    return "(none)";
}

TEST(SharedFolder, TheRunSharesTheFolderAloneReadOnlyAndListed) {
    CommandLine line;
    line.share = "/srv/pictures";
    line.port = 8000;
    const config::RunOverrides overrides = OverridesOf(line);
    EXPECT_EQ(ValueOf(overrides, "RootDirectory"), "/srv/pictures");
    EXPECT_EQ(ValueOf(overrides, "Port"), "8000");
    EXPECT_EQ(ValueOf(overrides, "Listen"), "(none)");
    for (std::string_view on : {"DirectoryBrowsing"}) {
        EXPECT_EQ(ValueOf(overrides, on), "1") << on;
    }
    for (std::string_view off : {"ScriptAllowed", "EXEAllowed", "Uploads", "Changes"}) {
        EXPECT_EQ(ValueOf(overrides, off), "0") << off;
    }
    ASSERT_TRUE(overrides.directories);
    EXPECT_TRUE(overrides.directories->empty());
    EXPECT_TRUE(OverridesOf(CommandLine{}).Empty());
    CommandLine local;
    local.listen = "local";
    EXPECT_FALSE(OverridesOf(local).directories);
    EXPECT_EQ(ValueOf(OverridesOf(local), "Listen"), "local");
}

TEST(SharedFolder, TheNoticeNamesEachAddressAndDrawsTheNetworkOne) {
    const std::string local = SharingNotice("/srv/p", 8000, std::nullopt, true);
    EXPECT_EQ(local, "Sharing /srv/p\r\n  on this computer: http://localhost:8000/\r\n");
    const std::string plain = SharingNotice("/srv/p", 80, "192.168.1.20", false);
    EXPECT_NE(plain.find("  on the network:   http://192.168.1.20/\r\n"), std::string::npos);
    EXPECT_EQ(plain.find("\u2588"), std::string::npos);
    EXPECT_NE(SharingNotice("/srv/p", 80, "fd00::5", true).find("http://[fd00::5]/\r\n\u2588"),
              std::string::npos);
}

// Each character holds two modules, the upper and the lower; light ones are drawn.
QImage PictureOf(const std::string& drawn) {
    std::vector<std::vector<std::pair<bool, bool>>> rows(1);
    for (size_t at = 0; at < drawn.size();) {
        if (drawn.compare(at, 2, "\r\n") == 0) {
            rows.emplace_back();
            at += 2;
            continue;
        }
        const std::string_view cell =
            drawn[at] == ' ' ? " " : std::string_view(drawn).substr(at, 3);
        rows.back().emplace_back(cell == "\u2588" || cell == "\u2580",
                                 cell == "\u2588" || cell == "\u2584");
        at += cell.size();
    }
    rows.pop_back();  // after the last line end
    constexpr int kScale = 6;
    QImage picture(static_cast<int>(rows.front().size()) * kScale,
                   static_cast<int>(rows.size()) * 2 * kScale, QImage::Format_Grayscale8);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const auto& cell =
                rows[static_cast<size_t>(y / (2 * kScale))][static_cast<size_t>(x / kScale)];
            const bool light = (y / kScale) % 2 == 0 ? cell.first : cell.second;
            picture.setPixel(x, y, light ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
    }
    return picture;
}

TEST(SharedFolder, ACameraReadsTheAddressFromTheTerminalsBlocks) {
    for (std::string url : {"http://192.168.1.20:8080/", "http://[fd00::5]/"}) {
        EXPECT_EQ(testing::ReadQrCode(PictureOf(TerminalQrCode(url))), url);
    }
    EXPECT_EQ(TerminalQrCode(std::string(8000, 'x')), "");
}

}  // namespace
}  // namespace quorvane::app
