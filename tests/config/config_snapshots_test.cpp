#include "config/config_snapshots.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "config/list_file.h"
#include "support/temp_folder.h"

namespace quorvane::config {
namespace {

// Moves a file's modification time into the past, as if edited long ago.
void Age(const std::filesystem::path& path, int seconds) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    timespec times[2] = {info.st_atim, info.st_mtim};
    times[1].tv_sec -= seconds;
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

TEST(ConfigSnapshots, AnOldUnchangedFileIsReadOnce) {
    testing::TempFolder folder;
    const auto path = folder.Write("quorvane.ini", "[A]\r\nB=1\r\n");
    Age(path, 10);
    ConfigSnapshots snapshots;
    EXPECT_EQ(snapshots.SettingsFile(path)->Read("A", "B", ""), "1");
    EXPECT_EQ(snapshots.SettingsFile(path)->Read("A", "B", ""), "1");
    EXPECT_EQ(snapshots.Reads(), 1u);
}

TEST(ConfigSnapshots, TwoSameSizeEditsWithinASecondAreBothSeen) {
    testing::TempFolder folder;
    const auto path = folder.Write("iplist.lst", "\"10.0.0.1\"\r\n");
    ConfigSnapshots snapshots;
    EXPECT_EQ(snapshots.Records(path, 1)->front().front(), "10.0.0.1");
    folder.Write("iplist.lst", "\"10.0.0.2\"\r\n");  // same size, same inode, same second
    EXPECT_EQ(snapshots.Records(path, 1)->front().front(), "10.0.0.2");
    folder.Write("iplist.lst", "\"10.0.0.3\"\r\n");
    EXPECT_EQ(snapshots.Records(path, 1)->front().front(), "10.0.0.3");
}

TEST(ConfigSnapshots, AReplacedOrRemovedFileIsReadAgainWhateverItsTime) {
    testing::TempFolder folder;
    const auto path = folder.Write("dirs.lst", "\"/\",\"www\",\"No\",\"No\",\"No\"\r\n");
    Age(path, 10);
    ConfigSnapshots snapshots;
    EXPECT_EQ(snapshots.Records(path, 5)->size(), 1u);
    ASSERT_TRUE(WriteRecords(path, {{"/", "a", "No", "No", "No"}, {"/b/", "b", "No", "No", "No"}}));
    Age(path, 10);  // a new file, though as old as the first
    EXPECT_EQ(snapshots.Records(path, 5)->size(), 2u);
    std::filesystem::remove(path);
    EXPECT_TRUE(snapshots.Records(path, 5)->empty());
    EXPECT_TRUE(snapshots.Records(path, 5)->empty());
    folder.Write("dirs.lst", "\"/\",\"c\",\"No\",\"No\",\"No\"\r\n");
    EXPECT_EQ(snapshots.Records(path, 5)->front()[1], "c");
    EXPECT_FALSE(snapshots.SettingsFile(folder.Path() / "missing.ini")->FileFound());
}

}  // namespace
}  // namespace quorvane::config
