#include "tls/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "config/file_handle.h"

namespace quorvane::tls {

bool WritePrivateFile(const std::filesystem::path& path, std::string_view content) {
    // Hidden while it exists, so a listing of the folder never shows it.
    std::string scratch =
        (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
    config::FileHandle file{::mkostemp(scratch.data(), O_CLOEXEC)};  // mode 0600
    if (!file) {
        return false;
    }
    bool written = ::fchmod(file.Get(), 0600) == 0;
    while (written && !content.empty()) {
        const ssize_t count = ::write(file.Get(), content.data(), content.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        written = count > 0;
        content.remove_prefix(written ? static_cast<size_t>(count) : 0);
    }
    written = written && ::fsync(file.Get()) == 0;
    file.Reset();
    if (!written || ::rename(scratch.c_str(), path.c_str()) != 0) {
        ::unlink(scratch.c_str());
        return false;
    }
    return true;
}

}  // namespace quorvane::tls
