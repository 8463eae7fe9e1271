// Which files get thumbnails, and the keys and tags that tell one version of
// a source from another.
#include "thumbnails/thumbnail_key.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "responses/validators.h"

namespace quorvane::thumbnails {
namespace {

TEST(ThumbnailableTest, GoesByTheExtensionInAnyCase) {
    const struct {
        std::string_view name;
        bool thumbnailable;
    } cases[] = {
        {"photo.jpg", true},     {"PHOTO.JPEG", true},
        {"scan.Tiff", true},     {"anim.gif", true},
        {"a.b.webp", true},      {"iphone.HEIC", true},
        {"new.avif", true},      {"logo.png", true},
        {"drawing.svg", false},  {"old.bmp", false},
        {"notes.txt", false},    {"jpg", false},
        {".jpg", false},         {"photo.jpg.", false},
        {"photo.jpg.gz", false}, {"folder/photo.jpg", false},
        {"photo.jpgx", false},   {"", false},
    };
    for (const auto& [name, thumbnailable] : cases) {
        EXPECT_EQ(IsThumbnailable(name), thumbnailable) << name;
    }
}

struct stat SomeFile() {
    struct stat file = {};
    file.st_mode = S_IFREG | 0644;
    file.st_dev = 0x803;
    file.st_ino = 123456;
    file.st_size = 98765;
    file.st_mtim = {1700000000, 123456789};
    return file;
}

// Every part of the status a changed or replaced file differs in.
const std::function<void(struct stat&)> kChanges[] = {
    [](struct stat& file) { ++file.st_dev; },
    [](struct stat& file) { ++file.st_ino; },
    [](struct stat& file) { ++file.st_size; },
    [](struct stat& file) { ++file.st_mtim.tv_sec; },
    [](struct stat& file) { ++file.st_mtim.tv_nsec; },
};

TEST(ThumbnailKeyTest, EveryChangeOfTheSourceGivesOtherNames) {
    const ThumbnailKey key = ThumbnailKey::Of(SomeFile());
    std::set<std::string> names = {key.FileName(), key.FailureName()};
    for (const auto& change : kChanges) {
        struct stat changed = SomeFile();
        change(changed);
        names.insert(ThumbnailKey::Of(changed).FileName());
        names.insert(ThumbnailKey::Of(changed).FailureName());
    }
    EXPECT_EQ(names.size(), 2 * (std::size(kChanges) + 1));
    EXPECT_EQ(ThumbnailKey::Of(SomeFile()).FileName(), key.FileName());
    for (const std::string& name : names) {
        EXPECT_EQ(name.find('/'), std::string::npos) << name;
        EXPECT_NE(name.front(), '.') << name;
    }
}

TEST(ThumbnailETagTest, IsStrongAndFollowsTheSourceButNeverEqualsItsTag) {
    const std::string tag = ThumbnailETag(SomeFile());
    ASSERT_GE(tag.size(), 3U);
    EXPECT_EQ(tag.front(), '"');
    EXPECT_EQ(tag.back(), '"');
    EXPECT_EQ(ThumbnailETag(SomeFile()), tag);
    EXPECT_NE(tag, responses::DocumentEtag(SomeFile(), std::nullopt));
    for (const auto& change : kChanges) {
        struct stat changed = SomeFile();
        change(changed);
        EXPECT_NE(ThumbnailETag(changed), tag);
    }
}

}  // namespace
}  // namespace quorvane::thumbnails
