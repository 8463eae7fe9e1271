#include "ui/control/instance_trust.h"

#include <sys/socket.h>

#include <string>

namespace quorvane::ui {

namespace {

bool IsPrivate(const std::filesystem::path& folder, uid_t user) {
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && IsPrivateFolder(info, user);
}

}  // namespace

bool IsPrivateFolder(const struct stat& info, uid_t user) {
    return S_ISDIR(info.st_mode) && info.st_uid == user && (info.st_mode & 077) == 0;
}

std::optional<std::filesystem::path> InstanceFolder(std::string_view runtimeFolder,
                                                    const std::filesystem::path& tempFolder,
                                                    uid_t user) {
    // A relative XDG_RUNTIME_DIR is invalid and must be ignored.
    const std::filesystem::path runtime{std::string(runtimeFolder)};
    if (runtime.is_absolute() && IsPrivate(runtime, user)) {
        return runtime;
    }
    if (!tempFolder.is_absolute()) {
        return std::nullopt;
    }
    // An existing folder of that name is checked like a new one: another user
    // may have made it first, in the shared temporary folder.
    const std::filesystem::path own = tempFolder / ("quorvane-" + std::to_string(user));
    ::mkdir(own.c_str(), 0700);
    if (IsPrivate(own, user)) {
        return own;
    }
    return std::nullopt;
}

std::optional<uid_t> PeerUser(int socket) {
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials) {
        return std::nullopt;
    }
    return credentials.uid;
}

bool IsTrustedPeer(std::optional<uid_t> peer, uid_t user) {
    return peer.has_value() && *peer == user;
}

}  // namespace quorvane::ui
