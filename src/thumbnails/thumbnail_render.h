#pragma once

#include <string>

// The decoder child's side, run by quorvane-thumbnailer on an image no one
// vouches for: whatever the image does, it does to that process alone.
namespace quorvane::thumbnails {

// Bounds the calling process before it reads anything: its address space,
// processor time and file sizes, no core dump, no gained privileges, and no
// descriptor but the standard three. False when a bound could not be set.
bool ConfineDecoder();

// Starts libvips for one image: one thread, no operation cache, and only the
// loaders of the types IsThumbnailable names; every other loader (vector
// images, ImageMagick, documents) is blocked.
bool StartVips(const char* programName, std::string& error);

// Reads an image from `sourceFd` and writes its thumbnail to `outputFd` as
// WebP: the longest side at most kThumbnailSide, aspect kept, never
// enlarged, turned upright by its orientation tag, its metadata left out.
// False, with the reason, for anything unreadable or too large.
bool RenderThumbnail(int sourceFd, int outputFd, std::string& error);

}  // namespace quorvane::thumbnails
