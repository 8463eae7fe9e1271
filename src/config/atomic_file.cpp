#include "config/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "config/file_handle.h"

namespace quorvane::config {

namespace {

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        content.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace

bool ReplaceFileContent(const std::filesystem::path& path, std::string_view content,
                        mode_t newFileMode) {
    mode_t mode = newFileMode;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
        // A file meant to be private becomes so, even when an older copy was not.
        if ((newFileMode & 077) == 0) {
            mode &= ~static_cast<mode_t>(077);
        }
    }
    // The temporary name starts with a dot, so it is hidden from listings and
    // never served while it exists.
    std::string scratchName = ".";
    scratchName += path.filename().string();
    scratchName += ".XXXXXX";
    std::string scratch = (path.parent_path() / scratchName).string();
    FileHandle file{::mkostemp(scratch.data(), O_CLOEXEC)};
    if (!file) {
        return false;
    }
    const bool written = ::fchmod(file.Get(), mode) == 0 && WriteAll(file.Get(), content) &&
                         ::fdatasync(file.Get()) == 0;
    file.Reset();
    if (!written || ::rename(scratch.c_str(), path.c_str()) != 0) {
        ::unlink(scratch.c_str());
        return false;
    }
    return true;
}

std::error_code CreateNewFile(const std::filesystem::path& path, std::string_view content,
                              mode_t mode) {
    FileHandle file{::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode)};
    if (!file) {
        return {errno, std::generic_category()};
    }
    if (!WriteAll(file.Get(), content) || ::fdatasync(file.Get()) != 0) {
        const std::error_code error(errno, std::generic_category());
        file.Reset();
        ::unlink(path.c_str());
        return error;
    }
    return {};
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
    // Non-blocking, so a FIFO in a file's place is refused instead of
    // holding the reader until someone writes to it.
    FileHandle file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (!file) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::string content;
    content.reserve(static_cast<size_t>(info.st_size));
    char chunk[16384];
    for (;;) {
        const ssize_t got = ::read(file.Get(), chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            return content;
        }
        content.append(chunk, static_cast<size_t>(got));
    }
}

}  // namespace quorvane::config
