// Where the programs find the thumbnail decoder: beside themselves, else in
// the installation's folder for it.
#include "app/program_path.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace quorvane::app {
namespace {

namespace fs = std::filesystem;

TEST(ThumbnailerPathTest, PrefersTheOneBesideTheProgramThenTheInstalledOne) {
    const testing::TempFolder temp;
    const fs::path bin = temp.Path() / "bin";
    fs::create_directories(bin);
    EXPECT_EQ(ThumbnailerPath(bin), std::nullopt);

    // Installed: bin/ and libexec/quorvane/ under one prefix.
    const fs::path installed = temp.WriteScript("libexec/quorvane/quorvane-thumbnailer", "");
    EXPECT_EQ(ThumbnailerPath(bin), installed);

    const fs::path beside = temp.Write("bin/quorvane-thumbnailer", "");
    EXPECT_EQ(ThumbnailerPath(bin), installed) << "one that cannot run is passed over";
    fs::permissions(beside, fs::perms(0755));
    EXPECT_EQ(ThumbnailerPath(bin), beside);
}

}  // namespace
}  // namespace quorvane::app
