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

// Both ways of knowing a file changed: notification on its folder, and a
// look at the file itself where there is none.
class ConfigSnapshotsTest : public ::testing::TestWithParam<bool> {
  protected:
    ConfigSnapshots snapshots{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(NotifiedOrNot, ConfigSnapshotsTest, ::testing::Bool());

TEST_P(ConfigSnapshotsTest, AnOldUnchangedFileIsReadOnce) {
    testing::TempFolder folder;
    const auto path = folder.Write("quorvane.ini", "[A]\r\nB=1\r\n");
    Age(path, 10);
    EXPECT_EQ(snapshots.SettingsFile(path)->Read("A", "B", ""), "1");
    EXPECT_EQ(snapshots.SettingsFile(path)->Read("A", "B", ""), "1");
    EXPECT_EQ(snapshots.Reads(), 1u);
}

TEST_P(ConfigSnapshotsTest, TwoSameSizeEditsWithinASecondAreBothSeen) {
    testing::TempFolder folder;
    const auto path = folder.Write("iplist.lst", "\"10.0.0.1\"\r\n");
    EXPECT_EQ(snapshots.Records(path, 1)->front().front(), "10.0.0.1");
    folder.Write("iplist.lst", "\"10.0.0.2\"\r\n");  // same size, same inode, same second
    EXPECT_EQ(snapshots.Records(path, 1)->front().front(), "10.0.0.2");
    folder.Write("iplist.lst", "\"10.0.0.3\"\r\n");
    EXPECT_EQ(snapshots.Records(path, 1)->front().front(), "10.0.0.3");
}

TEST_P(ConfigSnapshotsTest, AReplacedOrRemovedFileIsReadAgainWhateverItsTime) {
    testing::TempFolder folder;
    const auto path = folder.Write("dirs.lst", "\"/\",\"www\",\"No\",\"No\",\"No\"\r\n");
    Age(path, 10);
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

TEST(ConfigSnapshots, NotificationSeesAnEditThatKeepsSizeAndTime) {
    testing::TempFolder folder;
    const auto path = folder.Write("iplist.lst", "\"10.0.0.1\"\r\n");
    Age(path, 10);
    ConfigSnapshots snapshots;
    EXPECT_EQ(snapshots.Records(path, 1)->front().front(), "10.0.0.1");
    EXPECT_EQ(snapshots.Records(path, 1)->front().front(), "10.0.0.1");
    EXPECT_EQ(snapshots.Reads(), 1u);
    struct stat before {};
    ::stat(path.c_str(), &before);
    folder.Write("iplist.lst", "\"10.0.0.9\"\r\n");  // same size, written in place
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);  // and its old time put back
    EXPECT_EQ(snapshots.Records(path, 1)->front().front(), "10.0.0.9");
}

TEST(ConfigSnapshots, OwnFilesAreLookedUpAgainOnlyAfterTheirFolderChanged) {
    testing::TempFolder folder;
    const ProgramFolder program = folder.Program();
    folder.Write("users.lst", "\"a\",\"b\"\r\n");
    ConfigSnapshots snapshots;
    const auto first = snapshots.OwnFilesOf(program);
    EXPECT_EQ(snapshots.OwnFilesOf(program), first);
    ASSERT_TRUE(WriteRecords(program.ListFilePath(kUsersList), {{"c", "d"}}));  // a new inode
    const auto second = snapshots.OwnFilesOf(program);
    EXPECT_NE(second, first);
    struct stat info {};
    ::stat(program.ListFilePath(kUsersList).c_str(), &info);
    EXPECT_TRUE(second->Contains(info));
}

}  // namespace
}  // namespace quorvane::config
