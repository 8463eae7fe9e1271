#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace quorvane::thumbnails {

// Thumbnails are WebP pictures: one type for every source, with its alpha
// kept when it has one, and smaller than JPEG or PNG at this size.
inline constexpr std::string_view kThumbnailContentType = "image/webp";

// Whether a file of this name is an image a thumbnail can be made of, by its
// extension (any case). Vector images (SVG) are documents that run, and BMP
// and the like need loaders that are not trusted with a visitor's file.
bool IsThumbnailable(std::string_view name);

// What tells one version of a source file from another: a file replaced, or
// changed in place, has another key.
struct ThumbnailKey {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = 0;
    long long modifiedNs = 0;

    static ThumbnailKey Of(const struct stat& source);
    bool operator==(const ThumbnailKey&) const = default;
    // The name its thumbnail has in the cache folder, and the name that
    // remembers it could not be made.
    std::string FileName() const;
    std::string FailureName() const;
};

// A strong entity tag, quotation marks included, for the thumbnail of the
// source with this status: it changes with the key and never equals the
// source document's own tag.
std::string ThumbnailETag(const struct stat& source);

}  // namespace quorvane::thumbnails
