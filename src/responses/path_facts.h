#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/file_handle.h"

namespace quorvane::responses {

// What is at a physical path, following links, and where it really lies.
struct PathFacts {
    bool exists = false;
    struct stat info {};  // of the final target, when it exists
    // The path with every link resolved. For a path that does not exist, the
    // nearest existing ancestor resolved, with the missing names after it.
    std::filesystem::path canonical;
    // /proc, /sys, /dev and file systems like them: never served, whatever
    // link leads there.
    bool systemArea = false;
    // The path itself as examined (O_PATH), so what is served later is this
    // very file, not whatever the path leads to by then.
    std::shared_ptr<const config::FileHandle> handle;
};

// The file systems already known to be ordinary ones (not /proc or the
// like), so their files need not be asked again.
class OrdinaryDevices {
  public:
    bool Contains(dev_t device) const;
    void Add(dev_t device);

  private:
    std::vector<dev_t> devices_;
};

PathFacts Examine(const std::filesystem::path& path, OrdinaryDevices* known = nullptr);

// Where a path leads at this moment, every link resolved; for a path that
// does not exist, its nearest existing ancestor resolved with the missing
// names after it. Nothing when that cannot be told (descriptors ran out, a
// loop of links, a folder that cannot be entered).
std::optional<std::filesystem::path> RealPathNow(const std::filesystem::path& path);

// True when `path` is `folder` or lies beneath it, comparing whole names.
bool IsInside(const std::filesystem::path& path, const std::filesystem::path& folder);

}  // namespace quorvane::responses
