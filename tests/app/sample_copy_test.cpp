// The build places the samples beside the programs, so that the build tree
// runs as a portable copy; the files with secrets there are private too.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/child_process.h"
#include "support/temp_folder.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

using testing::ModeOf;

TEST(SampleCopy, TheBuildTreesUserListIsPrivate) {
    const fs::path bin = fs::path(QUORVANE_SERVER_PATH).parent_path();
    EXPECT_EQ(ModeOf(bin / "users.lst"), 0600u);
}

TEST(SampleCopy, NewCopiesOfSecretsArePrivateAndOlderOnesAreMadeSo) {
    const testing::TempFolder bin;
    bin.Write("quorvane.log", "older");
    bin.Write("dirs.lst", "mine");
    fs::permissions(bin.Path() / "quorvane.log", fs::perms(0644));
    fs::permissions(bin.Path() / "dirs.lst", fs::perms(0664));
    const testing::CommandResult copy =
        testing::RunCommand(std::string(QUORVANE_CMAKE_COMMAND) +
                            " -DSOURCE=" QUORVANE_DIST_PATH " -DDEST=" + bin.Path().string() +
                            " -DSKIP=linux -P " QUORVANE_COPY_SCRIPT);
    ASSERT_EQ(copy.status, 0) << copy.output;

    const std::pair<const char*, unsigned> modes[] = {
        {"users.lst", 0600},
        {"quorvane.log", 0600},
        {"dirs.lst", 0664},  // not a secret: left as its owner made it
    };
    for (const auto& [file, mode] : modes) {
        EXPECT_EQ(ModeOf(bin.Path() / file), mode) << file;
    }
    std::ifstream sample(fs::path(QUORVANE_DIST_PATH) / "users.lst", std::ios::binary);
    EXPECT_EQ(bin.Read("users.lst"), std::string(std::istreambuf_iterator<char>(sample), {}));
    EXPECT_EQ(bin.Read("quorvane.log"), "older");
    EXPECT_EQ(bin.Read("dirs.lst"), "mine");
    EXPECT_TRUE(fs::exists(bin.Path() / "www/index.htm"));
    EXPECT_FALSE(fs::exists(bin.Path() / "linux"));
    EXPECT_FALSE(fs::exists(bin.Path() / ".private-copy"));
}

}  // namespace
}  // namespace quorvane
