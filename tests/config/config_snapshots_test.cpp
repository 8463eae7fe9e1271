#include "config/config_snapshots.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

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
    EXPECT_EQ(snapshots.Get<Settings>(path)->Read("A", "B", ""), "1");
    EXPECT_EQ(snapshots.Get<Settings>(path)->Read("A", "B", ""), "1");
    EXPECT_EQ(snapshots.Reads(), 1u);
}

TEST_P(ConfigSnapshotsTest, TwoSameSizeEditsWithinASecondAreBothSeen) {
    testing::TempFolder folder;
    const auto path = folder.Write("iplist.lst", "\"10.0.0.1\"\r\n");
    EXPECT_EQ(snapshots.Get<Names>(path)->front(), "10.0.0.1");
    folder.Write("iplist.lst", "\"10.0.0.2\"\r\n");  // same size, same inode, same second
    EXPECT_EQ(snapshots.Get<Names>(path)->front(), "10.0.0.2");
    folder.Write("iplist.lst", "\"10.0.0.3\"\r\n");
    EXPECT_EQ(snapshots.Get<Names>(path)->front(), "10.0.0.3");
}

TEST_P(ConfigSnapshotsTest, AReplacedOrRemovedFileIsReadAgainWhateverItsTime) {
    testing::TempFolder folder;
    const auto path = folder.Write("dirs.lst", "\"/\",\"www\",\"No\",\"No\",\"No\"\r\n");
    Age(path, 10);
    EXPECT_EQ(snapshots.Get<Directories>(path)->size(), 1u);
    ASSERT_TRUE(WriteRecords(path, {{"/", "a", "No", "No", "No"}, {"/b/", "b", "No", "No", "No"}}));
    Age(path, 10);  // a new file, though as old as the first
    EXPECT_EQ(snapshots.Get<Directories>(path)->size(), 2u);
    std::filesystem::remove(path);
    EXPECT_TRUE(snapshots.Get<Directories>(path)->empty());
    EXPECT_TRUE(snapshots.Get<Directories>(path)->empty());
    folder.Write("dirs.lst", "\"/\",\"c\",\"No\",\"No\",\"No\"\r\n");
    EXPECT_EQ(snapshots.Get<Directories>(path)->front().folder, "c");
    EXPECT_FALSE(snapshots.Get<Settings>(folder.Path() / "missing.ini")->FileFound());
}

TEST(ConfigSnapshots, NotificationSeesAnEditThatKeepsSizeAndTime) {
    testing::TempFolder folder;
    const auto path = folder.Write("iplist.lst", "\"10.0.0.1\"\r\n");
    Age(path, 10);
    ConfigSnapshots snapshots;
    EXPECT_EQ(snapshots.Get<Names>(path)->front(), "10.0.0.1");
    EXPECT_EQ(snapshots.Get<Names>(path)->front(), "10.0.0.1");
    EXPECT_EQ(snapshots.Reads(), 1u);
    struct stat before {};
    ::stat(path.c_str(), &before);
    folder.Write("iplist.lst", "\"10.0.0.9\"\r\n");  // same size, written in place
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);  // and its old time put back
    EXPECT_EQ(snapshots.Get<Names>(path)->front(), "10.0.0.9");
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

// A file that exists but cannot be read keeps what was read of it before,
// however the reading fails; it is read again as soon as it can be.
TEST_P(ConfigSnapshotsTest, AFailedReadingKeepsTheLastGoodCopy) {
    testing::TempFolder folder;
    const auto path = folder.Write("iplist.lst", "\"10.0.0.1\"\r\n");
    EXPECT_EQ(snapshots.Get<Names>(path)->front(), "10.0.0.1");
    const std::function<void()> failures[] = {
        [&] {  // a folder where the file was
            std::filesystem::remove(path);
            std::filesystem::create_directory(path);
        },
        [&] {  // a link leading in circles
            std::filesystem::remove_all(path);
            std::filesystem::create_symlink(path.filename(), path);
        },
        [&] {  // a link through a file
            std::filesystem::remove_all(path);
            std::filesystem::create_symlink("iplist.d/x", path);
            folder.Write("iplist.d", "not a folder");
        },
        [&] {  // a FIFO, which would hold a blocking reader until someone writes
            std::filesystem::remove_all(path);
            ::mkfifo(path.c_str(), 0600);
        },
        [&] {  // a link whose ".." leads through a folder that is not there
            std::filesystem::remove_all(path);
            std::filesystem::create_directory(folder.Path() / "store");
            folder.Write("store/iplist.lst", "\"10.9.9.9\"\r\n");
            std::filesystem::create_symlink("store/../nothere/../store/iplist.lst", path);
        },
        [&] {  // a link to nothing at all
            std::filesystem::remove_all(path);
            std::filesystem::create_symlink("gone.lst", path);
        },
    };
    for (size_t i = 0; i < std::size(failures); ++i) {
        failures[i]();
        ASSERT_NE(snapshots.Get<Names>(path), nullptr) << i;
        EXPECT_EQ(snapshots.Get<Names>(path)->front(), "10.0.0.1") << i;
    }
    const std::vector<ReadProblem> problems = snapshots.TakeProblems();
    ASSERT_EQ(problems.size(), 1u) << "one report until it reads again";
    EXPECT_TRUE(problems.front().earlierCopyKept);
    std::filesystem::remove_all(path);
    folder.Write("iplist.lst", "\"10.0.0.2\"\r\n");
    EXPECT_EQ(snapshots.Get<Names>(path)->front(), "10.0.0.2");
    // Never read, it gives nothing at all rather than an empty list.
    std::filesystem::create_directory(folder.Path() / "users.lst");
    EXPECT_EQ(snapshots.Get<Users>(folder.Path() / "users.lst"), nullptr);
    EXPECT_EQ(snapshots.Get<Settings>(folder.Path() / "users.lst"), nullptr);
}

TEST(ConfigSnapshots, RunningOutOfDescriptorsKeepsTheLastGoodCopy) {
    testing::TempFolder folder;
    const auto path = folder.Write("iplist.lst", "\"10.0.0.1\"\r\n");
    ConfigSnapshots snapshots;
    EXPECT_EQ(snapshots.Get<Names>(path)->front(), "10.0.0.1");
    folder.Write("iplist.lst", "\"127.0.0.1\"\r\n");
    // This test's process alone: a low limit, every descriptor under it taken.
    const rlimit low{64, 64};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> taken;
    for (int fd = ::dup(0); fd >= 0 && taken.size() < 64; fd = ::dup(0)) {
        taken.push_back(fd);
    }
    const auto during = snapshots.Get<Names>(path);
    for (int fd : taken) {
        ::close(fd);
    }
    ASSERT_NE(during, nullptr);
    EXPECT_EQ(during->front(), "10.0.0.1");
    const std::vector<ReadProblem> problems = snapshots.TakeProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems.front().reason, "Too many open files");
    EXPECT_EQ(snapshots.Get<Names>(path)->front(), "127.0.0.1");
}

TEST_P(ConfigSnapshotsTest, AMovedProgramFolderIsNoMissingFile) {
    testing::TempFolder outer;
    const auto path = outer.Write("program/dirs.lst", "\"/x/\",\"x\",\"Yes\",\"No\",\"No\"\r\n");
    EXPECT_EQ(snapshots.Get<Directories>(path)->size(), 1u);
    std::filesystem::rename(outer.Path() / "program", outer.Path() / "moved");
    ASSERT_NE(snapshots.Get<Directories>(path), nullptr);
    EXPECT_EQ(snapshots.Get<Directories>(path)->size(), 1u);
    EXPECT_EQ(snapshots.TakeProblems().front().reason, "its folder is not there");
}

TEST_P(ConfigSnapshotsTest, ALastLineStillBeingWrittenWaitsForItsEnd) {
    testing::TempFolder folder;
    const auto path = folder.Write("iplist.lst", "\"10.0.0.1\"\r\n");
    EXPECT_EQ(snapshots.Get<Names>(path)->size(), 1u);
    folder.Write("iplist.lst", "\"10.0.0.1\"\r\n\"10.0.0.2\"\r\n\"10.");
    EXPECT_EQ(snapshots.Get<Names>(path)->size(), 1u);
    folder.Write("iplist.lst", "\"10.0.0.1\"\r\n\"10.0.0.2\"\r\n\"10.0.0.3\"\r\n");
    EXPECT_EQ(snapshots.Get<Names>(path)->size(), 3u);
    EXPECT_TRUE(snapshots.TakeProblems().empty());
}

TEST(ConfigSnapshots, AnEditOfTheFileALinkNamesIsSeen) {
    testing::TempFolder program;
    testing::TempFolder elsewhere;
    const auto real = elsewhere.Write("lists/users.lst", "\"a\",\"1\"\r\n\"b\",\"2\"\r\n");
    Age(real, 10);
    std::filesystem::create_symlink(elsewhere.Path() / "lists", program.Path() / "hop");
    std::filesystem::create_symlink("hop/users.lst", program.Path() / "users.lst");
    const auto path = program.Path() / "users.lst";
    ConfigSnapshots snapshots;
    EXPECT_EQ(snapshots.Get<Users>(path)->size(), 2u);
    EXPECT_EQ(snapshots.Get<Users>(path)->size(), 2u);
    ASSERT_TRUE(WriteRecords(real, {{"a", "1"}}));  // a user removed where the file lies
    Age(real, 10);
    EXPECT_EQ(snapshots.Get<Users>(path)->size(), 1u);
}

}  // namespace
}  // namespace quorvane::config
