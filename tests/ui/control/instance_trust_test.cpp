#include "ui/control/instance_trust.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include "support/temp_folder.h"

namespace quorvane::ui {
namespace {

namespace fs = std::filesystem;

TEST(InstanceTrust, OnlyARealFolderOfTheUserThatNobodyElseMayEnterIsPrivate) {
    struct Case {
        mode_t mode;
        uid_t owner;
        uid_t user;
        bool trusted;
    };
    const Case cases[] = {
        {S_IFDIR | 0700, 1000, 1000, true},
        {S_IFDIR | 0700, 0, 0, true},
        {S_IFDIR | 0700, 1001, 1000, false},  // another user's
        {S_IFDIR | 0700, 0, 1000, false},     // root's is not the user's either
        {S_IFDIR | 0750, 1000, 1000, false},
        {S_IFDIR | 0710, 1000, 1000, false},
        {S_IFDIR | 0701, 1000, 1000, false},
        {S_IFDIR | 01777, 1000, 1000, false},  // a shared temporary folder
        {S_IFLNK | 0777, 1000, 1000, false},
        {S_IFREG | 0600, 1000, 1000, false},
        {S_IFSOCK | 0600, 1000, 1000, false},
    };
    for (const Case& c : cases) {
        struct stat info {};
        info.st_mode = c.mode;
        info.st_uid = c.owner;
        EXPECT_EQ(IsPrivateFolder(info, c.user), c.trusted)
            << std::oct << c.mode << std::dec << " owner " << c.owner << " user " << c.user;
    }
}

class InstanceFolderTest : public ::testing::Test {
  protected:
    static mode_t ModeOf(const fs::path& path) {
        struct stat info {};
        EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
        return info.st_mode;
    }

    const uid_t user_ = ::getuid();
    const testing::TempFolder runtime_;  // made 0700 by mkdtemp
    const testing::TempFolder temp_;
    const fs::path own_ = temp_.Path() / ("quorvane-" + std::to_string(user_));
};

TEST_F(InstanceFolderTest, APrivateRuntimeFolderIsUsedAsItIs) {
    EXPECT_EQ(InstanceFolder(runtime_.Path().string(), temp_.Path(), user_), runtime_.Path());
    EXPECT_FALSE(fs::exists(own_));
}

TEST_F(InstanceFolderTest, AnyOtherRuntimeFolderGivesWayToAPrivateOneMadeInTheTemporaryFolder) {
    fs::create_directory(runtime_.Path() / "open");
    fs::permissions(runtime_.Path() / "open", fs::perms(0755));
    fs::create_directory_symlink(runtime_.Path(), temp_.Path() / "link");
    const std::string cases[] = {
        "",
        "relative/run",
        (runtime_.Path() / "open").string(),
        (temp_.Path() / "link").string(),  // to a private folder, but a link
        (runtime_.Path() / "missing").string(),
    };
    for (const std::string& runtime : cases) {
        EXPECT_EQ(InstanceFolder(runtime, temp_.Path(), user_), own_) << runtime;
        EXPECT_EQ(ModeOf(own_), S_IFDIR | 0700u) << runtime;
    }
}

TEST_F(InstanceFolderTest, AFolderInTheTemporaryFolderThatIsNotPrivateIsNotTrustedNorChanged) {
    fs::create_directory(own_);
    fs::permissions(own_, fs::perms(0777));
    EXPECT_EQ(InstanceFolder("", temp_.Path(), user_), std::nullopt);
    EXPECT_EQ(ModeOf(own_), S_IFDIR | 0777u);

    fs::remove(own_);
    fs::create_directory_symlink(runtime_.Path(), own_);  // to a private folder
    EXPECT_EQ(InstanceFolder("", temp_.Path(), user_), std::nullopt);

    fs::remove(own_);
    temp_.Write(own_.filename().string(), "a file");
    EXPECT_EQ(InstanceFolder("", temp_.Path(), user_), std::nullopt);

    EXPECT_EQ(InstanceFolder("", "relative/tmp", user_), std::nullopt);
    EXPECT_EQ(InstanceFolder("", "", user_), std::nullopt);
}

TEST_F(InstanceFolderTest, FoldersOfAnotherUserAreNotTrusted) {
    // Both folders are this process's, so for any other user neither is
    // private, and the one made for that user is not theirs either.
    const uid_t other = user_ + 1;
    EXPECT_EQ(InstanceFolder(runtime_.Path().string(), temp_.Path(), other), std::nullopt);
    EXPECT_EQ(ModeOf(temp_.Path() / ("quorvane-" + std::to_string(other))), S_IFDIR | 0700u);
}

TEST(InstanceTrust, OnlyAPeerOfTheSameUserIsBelieved) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    EXPECT_EQ(PeerUser(pair[0]), ::getuid());
    ::close(pair[0]);
    ::close(pair[1]);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    EXPECT_EQ(PeerUser(pipeEnds[0]), std::nullopt);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    EXPECT_EQ(PeerUser(-1), std::nullopt);

    EXPECT_TRUE(IsTrustedPeer(1000, 1000));
    EXPECT_FALSE(IsTrustedPeer(1001, 1000));
    EXPECT_FALSE(IsTrustedPeer(0, 1000));
    EXPECT_FALSE(IsTrustedPeer(std::nullopt, 1000));
}

}  // namespace
}  // namespace quorvane::ui
