// The thumbnail folder: where it is, who may enter it, what it keeps and
// what it lets go.
#include "thumbnails/thumbnail_cache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <set>

#include "support/temp_folder.h"

namespace quorvane::thumbnails {
namespace {

namespace fs = std::filesystem;

TEST(ThumbnailFolderTest, FollowsTheCacheHomeOnlyWhenItIsAbsolute) {
    const struct {
        const char* xdgCacheHome;
        const char* home;
        std::optional<fs::path> folder;
    } cases[] = {
        {"/var/cache/me", "/home/me", "/var/cache/me/quorvane/thumbnails"},
        {"cache", "/home/me", "/home/me/.cache/quorvane/thumbnails"},
        {"", "/home/me", "/home/me/.cache/quorvane/thumbnails"},
        {nullptr, "/home/me", "/home/me/.cache/quorvane/thumbnails"},
        {nullptr, "home/me", std::nullopt},
        {nullptr, nullptr, std::nullopt},
    };
    for (const auto& [xdgCacheHome, home, folder] : cases) {
        EXPECT_EQ(ThumbnailFolder(xdgCacheHome, home), folder)
            << (xdgCacheHome ? xdgCacheHome : "(unset)") << " " << (home ? home : "(unset)");
    }
}

ThumbnailKey KeyNumber(int number) {
    return {
        .device = 1, .inode = static_cast<unsigned long long>(number), .size = 10, .modifiedNs = 5};
}

class ThumbnailCacheTest : public ::testing::Test {
  protected:
    fs::path Folder() const { return temp_.Path() / "cache" / "quorvane" / "thumbnails"; }

    ThumbnailCache OpenCache(std::uint64_t limit = kThumbnailCacheBytes) const {
        std::optional<ThumbnailCache> cache = ThumbnailCache::Open(Folder(), limit);
        if (!cache) {
            throw std::runtime_error("the cache did not open");
        }
        return std::move(*cache);
    }

    // Keeps `content` as the thumbnail of `key`.
    static bool Put(ThumbnailCache& cache, const ThumbnailKey& key, std::string_view content) {
        std::optional<ThumbnailDraft> draft = cache.Draft();
        return draft &&
               ::write(draft->file.Get(), content.data(), content.size()) ==
                   static_cast<ssize_t>(content.size()) &&
               cache.Keep(*draft, key);
    }

    static std::string ReadAll(const config::FileHandle& file) {
        std::string content(4096, '\0');
        const ssize_t size = ::pread(file.Get(), content.data(), content.size(), 0);
        content.resize(size > 0 ? static_cast<size_t>(size) : 0);
        return content;
    }

    void SetAge(const ThumbnailKey& key, time_t seconds) const {
        const timespec times[2] = {{std::time(nullptr) - seconds, 0},
                                   {std::time(nullptr) - seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (Folder() / key.FileName()).c_str(), times, 0), 0);
    }

    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(Folder())) {
            names.insert(entry.path().filename());
        }
        return names;
    }

    testing::TempFolder temp_;
};

TEST_F(ThumbnailCacheTest, MakesItsFoldersPrivateAndTightensAnOpenOne) {
    OpenCache();
    for (const fs::path& made : {Folder(), Folder().parent_path(), temp_.Path() / "cache"}) {
        EXPECT_EQ(testing::ModeOf(made), 0700U) << made;
    }
    ::chmod(Folder().c_str(), 0755);
    OpenCache();
    EXPECT_EQ(testing::ModeOf(Folder()), 0700U);
    EXPECT_FALSE(ThumbnailCache::Open("relative/thumbnails"));
}

TEST_F(ThumbnailCacheTest, RefusesAFolderOfAnotherUser) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give the folder to another user";
    }
    fs::create_directories(Folder());
    ASSERT_EQ(::chown(Folder().c_str(), 65534, 65534), 0);
    EXPECT_FALSE(ThumbnailCache::Open(Folder()));
}

TEST_F(ThumbnailCacheTest, KeepsDraftsUnderTheirKeyAndNothingElse) {
    ThumbnailCache cache = OpenCache();
    EXPECT_FALSE(cache.Find(KeyNumber(1)));
    ASSERT_TRUE(Put(cache, KeyNumber(1), "first"));
    // Another server's thumbnail of the same key stays.
    EXPECT_TRUE(Put(cache, KeyNumber(1), "second"));
    std::optional<ThumbnailDraft> empty = cache.Draft();
    ASSERT_TRUE(empty);
    EXPECT_FALSE(cache.Keep(*empty, KeyNumber(2)));

    const std::optional<config::FileHandle> found = cache.Find(KeyNumber(1));
    ASSERT_TRUE(found);
    EXPECT_EQ(ReadAll(*found), "first");
    EXPECT_EQ(::fcntl(found->Get(), F_GETFL) & O_ACCMODE, O_RDONLY);
    EXPECT_FALSE(cache.Find(KeyNumber(2)));
    empty.reset();
    EXPECT_EQ(Names(), std::set<std::string>{KeyNumber(1).FileName()});
}

TEST_F(ThumbnailCacheTest, RemembersFailuresByKey) {
    ThumbnailCache cache = OpenCache();
    cache.MarkFailed(KeyNumber(1));
    EXPECT_TRUE(cache.Failed(KeyNumber(1)));
    EXPECT_FALSE(cache.Failed(KeyNumber(2)));
    EXPECT_FALSE(cache.Find(KeyNumber(1)));
    EXPECT_TRUE(OpenCache().Failed(KeyNumber(1)));
}

TEST_F(ThumbnailCacheTest, PrunesTheLeastRecentlyUsedPastItsLimit) {
    const std::string content(1000, 'x');
    // Room for ten files of 1000 bytes and their entries (4096 each).
    ThumbnailCache cache = OpenCache(10 * (1000 + 4096));
    for (int number = 0; number < 10; ++number) {
        ASSERT_TRUE(Put(cache, KeyNumber(number), content));
        SetAge(KeyNumber(number), 10 * 24 * 3600 - number);
    }
    ASSERT_EQ(Names().size(), 10U);
    // A use renews the oldest one.
    EXPECT_TRUE(cache.Find(KeyNumber(0)));

    // The eleventh passes the limit: down to three quarters (seven files).
    ASSERT_TRUE(Put(cache, KeyNumber(10), content));
    std::set<std::string> expected;
    for (int number : {0, 5, 6, 7, 8, 9, 10}) {
        expected.insert(KeyNumber(number).FileName());
    }
    EXPECT_EQ(Names(), expected);
}

TEST_F(ThumbnailCacheTest, RemovesDraftsAbandonedAnHourAgo) {
    fs::create_directories(Folder());
    const timespec hoursAgo[2] = {{std::time(nullptr) - 7200, 0}, {std::time(nullptr) - 7200, 0}};
    for (const char* name : {".draft-old", ".draft-new"}) {
        std::ofstream(Folder() / name) << "part";
    }
    ASSERT_EQ(::utimensat(AT_FDCWD, (Folder() / ".draft-old").c_str(), hoursAgo, 0), 0);
    OpenCache();
    EXPECT_EQ(Names(), std::set<std::string>{".draft-new"});
}

}  // namespace
}  // namespace quorvane::thumbnails
