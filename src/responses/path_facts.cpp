#include "responses/path_facts.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <string_view>

#include "config/file_handle.h"
#include "server/limits.h"

namespace quorvane::responses {

namespace fs = std::filesystem;

namespace {

bool IsSystemFileSystem(int fd) {
    struct statfs info {};
    if (::fstatfs(fd, &info) != 0) {
        return true;  // cannot tell: do not serve
    }
    switch (static_cast<unsigned long>(info.f_type)) {
        case PROC_SUPER_MAGIC:
        case SYSFS_MAGIC:
        case DEVPTS_SUPER_MAGIC:
        case DEBUGFS_MAGIC:
        case CGROUP_SUPER_MAGIC:
        case CGROUP2_SUPER_MAGIC:
        case SECURITYFS_MAGIC:
            return true;
        default:
            return false;
    }
}

bool InSystemArea(const fs::path& canonical) {
    for (std::string_view area : {"/proc", "/sys", "/dev"}) {
        if (IsInside(canonical, fs::path(area))) {
            return true;
        }
    }
    return false;
}

// The real path of an open descriptor, as the kernel knows it; realpath
// stands in where /proc is not mounted.
fs::path RealPathOf(int fd, const fs::path& path) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link, target, sizeof target);
    if (length > 0 && static_cast<size_t>(length) < sizeof target && target[0] == '/') {
        return fs::path(std::string(target, static_cast<size_t>(length)));
    }
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) {
        return fs::path(resolved);
    }
    return path.lexically_normal();
}

// Opens the path itself (O_PATH) following ordinary links but never the
// /proc kind that jump to another process's files, folder or root. With
// `linkFree`, only a path without any link opens (ELOOP otherwise).
int OpenPath(const fs::path& path, bool linkFree = false) {
    open_how how{};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_NO_MAGICLINKS | (linkFree ? RESOLVE_NO_SYMLINKS : 0);
    const long fd = ::syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
    if (fd >= 0 || errno != ENOSYS) {
        return static_cast<int>(fd);
    }
    if (linkFree) {
        errno = ELOOP;  // a kernel before 5.6 cannot tell: the general way
        return -1;
    }
    return ::open(path.c_str(), O_PATH | O_CLOEXEC);
}

// Opens the path as OpenPath does, and gives its real path. Most paths hold
// no link at all: opened so, the path as built is its own real path, and the
// kernel need not be asked for it.
config::FileHandle OpenReal(const fs::path& path, fs::path& real) {
    config::FileHandle handle{OpenPath(path, true)};
    if (handle) {
        real = path.lexically_normal();
        if (!real.has_filename() && real.has_relative_path()) {
            real = real.parent_path();  // "dir/" is "dir"
        }
        return handle;
    }
    if (errno != ELOOP) {
        return handle;
    }
    handle = config::FileHandle{OpenPath(path)};
    if (handle) {
        real = RealPathOf(handle.Get(), path);
    }
    return handle;
}

// A missing path as its nearest existing ancestor resolved, with the missing
// names after it, so a name inside a protected folder is recognised as such
// before anyone learns it is absent. Nothing when an ancestor exists but
// cannot be opened.
std::optional<fs::path> ResolveMissing(const fs::path& absolute) {
    fs::path missing;
    fs::path ancestor = absolute;
    while (ancestor.has_relative_path()) {
        missing = missing.empty() ? ancestor.filename() : ancestor.filename() / missing;
        ancestor = ancestor.parent_path();
        fs::path real;
        if (OpenReal(ancestor, real)) {
            return real / missing;
        }
        if (errno != ENOENT && errno != ENOTDIR) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace

bool OrdinaryDevices::Contains(dev_t device) const {
    return std::find(devices_.begin(), devices_.end(), device) != devices_.end();
}

void OrdinaryDevices::Add(dev_t device) {
    if (devices_.size() < kRememberedDevices && !Contains(device)) {
        devices_.push_back(device);
    }
}

PathFacts Examine(const fs::path& path, OrdinaryDevices* known) {
    PathFacts facts;
    const fs::path absolute = path.is_absolute() ? path : fs::absolute(path);
    config::FileHandle handle = OpenReal(absolute, facts.canonical);
    if (handle) {
        facts.exists = ::fstat(handle.Get(), &facts.info) == 0;
        const bool ordinary =
            known != nullptr && facts.exists && known->Contains(facts.info.st_dev);
        facts.systemArea =
            InSystemArea(facts.canonical) || (!ordinary && IsSystemFileSystem(handle.Get()));
        if (!facts.systemArea && facts.exists && known != nullptr) {
            known->Add(facts.info.st_dev);
        }
        facts.handle = std::make_shared<const config::FileHandle>(std::move(handle));
        return facts;
    }
    if (errno == ELOOP) {
        // A loop of links, or a way through /proc: nothing to serve.
        facts.canonical = absolute.lexically_normal();
        facts.systemArea = true;
        return facts;
    }
    facts.canonical = ResolveMissing(absolute).value_or(absolute.lexically_normal());
    facts.systemArea = InSystemArea(facts.canonical);
    return facts;
}

std::optional<fs::path> RealPathNow(const fs::path& path) {
    const fs::path absolute = path.is_absolute() ? path : fs::absolute(path);
    fs::path real;
    if (config::FileHandle handle = OpenReal(absolute, real)) {
        return real;
    }
    if (errno != ENOENT) {
        return std::nullopt;
    }
    return ResolveMissing(absolute);
}

bool IsInside(const fs::path& path, const fs::path& folder) {
    auto inner = path.begin();
    for (auto outer = folder.begin(); outer != folder.end(); ++outer) {
        if (outer->empty() && std::next(outer) == folder.end()) {
            break;  // the final separator of "dir/"
        }
        if (inner == path.end() || *inner != *outer) {
            return false;
        }
        ++inner;
    }
    return true;
}

}  // namespace quorvane::responses
