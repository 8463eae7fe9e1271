#include "ui/options/secure_folders.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace quorvane::ui {
namespace {

TEST(SecureFolders, AFolderInsideASecureOneIsNamedWhereverItIsReachedFrom) {
    testing::TempFolder folder;
    folder.Write("share/photos/2024/keep", "");
    folder.Write("share/inner/keep", "");
    folder.Write("open/keep", "");
    folder.Write("sharp/keep", "");
    // A link outside the secure folder that leads into it.
    std::filesystem::create_directory_symlink(folder.Path() / "share/photos",
                                              folder.Path() / "open/pictures");
    const std::string share = (folder.Path() / "share").string() + "/";
    const std::vector<config::VirtualDirectory> dirs = {
        {.name = "/", .folder = "open"},
        {.name = "/share/", .folder = share, .secure = true},
        {.name = "/pictures/", .folder = "open/pictures"},
        {.name = "/year/", .folder = "share/photos/2024"},
        {.name = "/inner/", .folder = "share/inner", .secure = true},
        {.name = "/deep/", .folder = "share/inner"},
        {.name = "/sharp/", .folder = "sharp"},         // a longer name, not inside
        {.name = "/gone/", .folder = "share/missing"},  // lies where it would lie
        {.name = "/blank/", .folder = ""},
    };
    const std::vector<std::optional<std::string>> expected = {
        std::nullopt, std::nullopt, "/share/",   "/share/", std::nullopt,
        "/inner/",  // the deepest secure folder holding it
        std::nullopt, "/share/",    std::nullopt};
    EXPECT_EQ(EnclosingSecureFolders(dirs, folder.Program()), expected);
}

}  // namespace
}  // namespace quorvane::ui
