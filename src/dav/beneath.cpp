#include "dav/beneath.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace quorvane::dav {

namespace fs = std::filesystem;

namespace {

std::string ProcPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

void CopyAttributes(int from, int to) {
    const std::string source = ProcPath(from);
    const std::string target = ProcPath(to);
    std::array<char, 64 * 1024> names{};
    const ssize_t length = ::listxattr(source.c_str(), names.data(), names.size());
    std::string value(64 * 1024, '\0');
    for (ssize_t at = 0; at < length;) {
        const std::string name(names.data() + at);
        at += static_cast<ssize_t>(name.size()) + 1;
        if (!name.starts_with("user.")) {
            continue;
        }
        const ssize_t size = ::getxattr(source.c_str(), name.c_str(), value.data(), value.size());
        if (size >= 0) {
            ::setxattr(target.c_str(), name.c_str(), value.data(), static_cast<size_t>(size), 0);
        }
    }
}

bool CopyFile(int from, const std::string& fromName, int to, const std::string& toName) {
    const FileHandle source(
        ::openat(from, fromName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const std::optional<struct stat> info = source ? StatusOf(source.Get()) : std::nullopt;
    if (!info || !S_ISREG(info->st_mode)) {
        return false;
    }
    const FileHandle target(
        ::openat(to, toName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!target) {
        return false;
    }
    for (off_t left = info->st_size; left > 0;) {
        const ssize_t copied = ::copy_file_range(source.Get(), nullptr, target.Get(), nullptr,
                                                 static_cast<size_t>(left), 0);
        if (copied <= 0) {
            break;  // shrank meanwhile, or the disk is full
        }
        left -= copied;
    }
    CopyAttributes(source.Get(), target.Get());
    return true;
}

bool Walk(int folder, const std::string& name, const TreeWalk& walk, size_t depth, size_t& seen) {
    const std::optional<struct stat> info = EntryStatus(folder, name);
    if (!info || ++seen > TreeWalk::kMostEntries || depth > TreeWalk::kDeepest ||
        !walk.check(*info)) {
        return false;
    }
    if (!S_ISDIR(info->st_mode)) {
        return true;
    }
    const FileHandle inside(
        ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!inside) {
        return false;
    }
    bool allowed = true;
    const bool listed = EachName(inside.Get(), [&](const std::string& child) {
        allowed = allowed && Walk(inside.Get(), child, walk, depth + 1, seen);
    });
    return listed && allowed;
}

}  // namespace

FileHandle OpenBase(const fs::path& base) {
    return FileHandle(::open(base.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

FileHandle OpenBeneath(int base, const std::vector<std::string>& segments, int flags) {
    std::string relative = ".";
    for (const std::string& segment : segments) {
        if (segment.empty() || segment == "." || segment == ".." ||
            segment.find('/') != std::string::npos) {
            errno = EINVAL;
            return FileHandle();
        }
        relative += "/" + segment;
    }
    struct open_how how {};
    how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    return FileHandle(
        static_cast<int>(::syscall(SYS_openat2, base, relative.c_str(), &how, sizeof(how))));
}

std::optional<struct stat> EntryStatus(int folder, const std::string& name) {
    struct stat info {};
    if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return info;
}

std::optional<struct stat> StatusOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return std::nullopt;
    }
    return info;
}

std::optional<fs::path> WhereIs(int fd) {
    std::error_code error;
    fs::path where = fs::read_symlink(ProcPath(fd), error);
    if (error) {
        return std::nullopt;
    }
    return where;
}

bool EachName(int folder, const std::function<void(const std::string&)>& visit) {
    const int copy = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* stream = copy < 0 ? nullptr : ::fdopendir(copy);
    if (stream == nullptr) {
        if (copy >= 0) {
            ::close(copy);
        }
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(stream)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    ::closedir(stream);
    for (const std::string& name : names) {
        visit(name);
    }
    return true;
}

bool TreeAllowed(int folder, const std::string& name, const TreeWalk& walk) {
    size_t seen = 0;
    return Walk(folder, name, walk, 0, seen);
}

bool RemoveTree(int folder, const std::string& name) {
    const std::optional<struct stat> info = EntryStatus(folder, name);
    if (!info) {
        return errno == ENOENT;
    }
    if (S_ISDIR(info->st_mode)) {
        const FileHandle inside(
            ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!inside) {
            return false;
        }
        bool removed = true;
        EachName(inside.Get(), [&](const std::string& child) {
            removed = RemoveTree(inside.Get(), child) && removed;
        });
        return removed && ::unlinkat(folder, name.c_str(), AT_REMOVEDIR) == 0;
    }
    return ::unlinkat(folder, name.c_str(), 0) == 0;
}

bool CopyTree(int from, const std::string& fromName, int to, const std::string& toName, bool deep) {
    const std::optional<struct stat> info = EntryStatus(from, fromName);
    if (!info) {
        return false;
    }
    if (!S_ISDIR(info->st_mode)) {
        return CopyFile(from, fromName, to, toName);
    }
    if (::mkdirat(to, toName.c_str(), 0755) != 0) {
        return false;
    }
    const FileHandle source(
        ::openat(from, fromName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const FileHandle target(
        ::openat(to, toName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!source || !target) {
        return false;
    }
    CopyAttributes(source.Get(), target.Get());
    bool copied = true;
    if (deep) {
        EachName(source.Get(), [&](const std::string& child) {
            const std::optional<struct stat> entry = EntryStatus(source.Get(), child);
            if (entry && !S_ISLNK(entry->st_mode)) {
                copied = CopyTree(source.Get(), child, target.Get(), child, true) && copied;
            }
        });
    }
    return copied;
}

std::optional<uint64_t> FreeBytes(int folder) {
    struct statvfs info {};
    if (::fstatvfs(folder, &info) != 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

}  // namespace quorvane::dav
