#include "cgi/child_cgroup.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace quorvane::cgi {

namespace {

std::string ReadProcFile(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// "0::/user.slice/..." names the process's cgroup in the unified hierarchy.
std::optional<std::string> OwnCgroup() {
    std::istringstream lines(ReadProcFile("/proc/self/cgroup"));
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("0::/")) {
            return line.substr(3);
        }
    }
    return std::nullopt;
}

// Where a cgroup path shows in the file system: a cgroup2 mount whose root
// holds it (mountinfo: "id parent dev root mountpoint options ... - type ...").
std::optional<std::filesystem::path> MountedAt(const std::string& cgroup) {
    std::istringstream lines(ReadProcFile("/proc/self/mountinfo"));
    for (std::string line; std::getline(lines, line);) {
        const size_t separator = line.find(" - ");
        if (separator == std::string::npos || line.compare(separator + 3, 8, "cgroup2 ") != 0) {
            continue;
        }
        std::istringstream fields(line.substr(0, separator));
        std::string id, parent, device, root, mountPoint;
        fields >> id >> parent >> device >> root >> mountPoint;
        if (mountPoint.find('\\') != std::string::npos) {
            continue;  // an escaped name: not a place this process would use
        }
        if (root == "/") {
            return std::filesystem::path(mountPoint + cgroup);
        }
        if (cgroup == root || cgroup.starts_with(root + "/")) {
            return std::filesystem::path(mountPoint + cgroup.substr(root.size()));
        }
    }
    return std::nullopt;
}

std::string RandomName() {
    unsigned long long value = 0;
    if (::getrandom(&value, sizeof value, GRND_NONBLOCK) != sizeof value) {
        value = static_cast<unsigned long long>(
                    std::chrono::steady_clock::now().time_since_epoch().count()) ^
                static_cast<unsigned long long>(::getpid());
    }
    char name[40];
    std::snprintf(name, sizeof name, "quorvane-cgi-%016llx", value);
    return name;
}

}  // namespace

std::optional<std::filesystem::path> DelegatedCgroup() {
    const std::optional<std::string> own = OwnCgroup();
    if (!own) {
        return std::nullopt;
    }
    std::optional<std::filesystem::path> folder = MountedAt(*own);
    if (!folder || ::access(folder->c_str(), W_OK) != 0) {
        return std::nullopt;
    }
    return folder;
}

std::optional<ChildCgroup> ChildCgroup::Create(const std::filesystem::path& parent) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::filesystem::path path = parent / RandomName();
        if (::mkdir(path.c_str(), 0755) != 0) {
            if (errno == EEXIST) {
                continue;
            }
            return std::nullopt;
        }
        config::FileHandle folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        // cgroup.kill came with Linux 5.14; without it the cgroup is no help.
        if (!folder || ::faccessat(folder.Get(), "cgroup.kill", W_OK, 0) != 0) {
            ::rmdir(path.c_str());
            return std::nullopt;
        }
        return ChildCgroup(std::move(path), std::move(folder));
    }
    return std::nullopt;
}

ChildCgroup::~ChildCgroup() {
    if (!folder_) {
        return;  // moved from, or removed
    }
    Kill();
    // Killed processes end within moments; a bounded wait for them.
    for (int attempt = 0; attempt < 100 && !Remove(); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void ChildCgroup::Kill() const {
    if (!folder_) {
        return;
    }
    config::FileHandle kill(::openat(folder_.Get(), "cgroup.kill", O_WRONLY | O_CLOEXEC));
    if (kill) {
        [[maybe_unused]] const ssize_t written = ::write(kill.Get(), "1", 1);
    }
}

bool ChildCgroup::Remove() {
    if (!folder_) {
        return true;
    }
    if (::rmdir(path_.c_str()) != 0 && errno != ENOENT) {
        return false;
    }
    folder_.Reset();
    return true;
}

}  // namespace quorvane::cgi
