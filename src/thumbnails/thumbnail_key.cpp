#include "thumbnails/thumbnail_key.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "config/text.h"
#include "responses/validators.h"
#include "server/limits.h"

namespace quorvane::thumbnails {

namespace {

// Loaders of these run inside the decoder child; see RenderThumbnail.
constexpr std::array<std::string_view, 11> kExtensions = {
    "jpg", "jpeg", "jpe", "png", "webp", "gif", "tif", "tiff", "heic", "heif", "avif"};

}  // namespace

bool IsThumbnailable(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name.find('/') != std::string_view::npos) {
        return false;
    }
    const std::string_view extension = name.substr(dot + 1);
    return std::any_of(kExtensions.begin(), kExtensions.end(), [&](std::string_view known) {
        return config::EqualsIgnoringCase(extension, known);
    });
}

ThumbnailKey ThumbnailKey::Of(const struct stat& source) {
    return {.device = static_cast<unsigned long long>(source.st_dev),
            .inode = static_cast<unsigned long long>(source.st_ino),
            .size = static_cast<long long>(source.st_size),
            .modifiedNs = static_cast<long long>(source.st_mtim.tv_sec) * 1'000'000'000LL +
                          source.st_mtim.tv_nsec};
}

// The side is part of the name, so that thumbnails of another size never
// meet old ones.
std::string ThumbnailKey::FileName() const {
    char name[128];
    std::snprintf(name, sizeof name, "%d-%llx-%llx-%llx-%llx.webp", kThumbnailSide, device, inode,
                  static_cast<unsigned long long>(size),
                  static_cast<unsigned long long>(modifiedNs));
    return name;
}

std::string ThumbnailKey::FailureName() const {
    std::string name = FileName();
    return name.replace(name.size() - 4, 4, "failed");
}

std::string ThumbnailETag(const struct stat& source) {
    // The document's tag already hides device and inode in a hash; the
    // variant mixed in keeps a thumbnail from answering for the full image,
    // or for a thumbnail of another size.
    return responses::DocumentEtag(source, "thumbnail-" + std::to_string(kThumbnailSide) + "-webp");
}

}  // namespace quorvane::thumbnails
