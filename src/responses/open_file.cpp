#include "responses/open_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

namespace quorvane::responses {

std::optional<OpenFile> OpenRegularFile(const std::filesystem::path& path) {
    config::FileHandle file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (!file) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return OpenFile{std::move(file), static_cast<uint64_t>(info.st_size), info};
}

std::optional<OpenFile> OpenExaminedFile(const std::filesystem::path& path, int examined,
                                         const struct stat& info) {
    if (examined >= 0 && S_ISREG(info.st_mode)) {
        char link[64];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", examined);
        config::FileHandle file{::open(link, O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
        if (file) {
            return OpenFile{std::move(file), static_cast<uint64_t>(info.st_size), info};
        }
    }
    return OpenRegularFile(path);
}

}  // namespace quorvane::responses
