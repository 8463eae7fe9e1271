#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string_view>

namespace quorvane::ui {

// Which folder and which peer the one-window-per-folder guard believes. The
// socket of a running window is only looked for where no other user can put
// one, and only an answer from this user's own process counts.

// True for a real folder (not a link) owned by `user` that nobody else may
// enter or change.
bool IsPrivateFolder(const struct stat& info, uid_t user);

// Where the socket and its lock file go: `runtimeFolder` ($XDG_RUNTIME_DIR)
// when it is private; else quorvane-<uid> under `tempFolder`, made 0700 when
// missing; nothing when neither can be trusted, and the program then runs
// unguarded rather than let someone else's file stop it.
std::optional<std::filesystem::path> InstanceFolder(std::string_view runtimeFolder,
                                                    const std::filesystem::path& tempFolder,
                                                    uid_t user);

// The user of the process at the other end of a connected local socket, or
// nothing when the descriptor is not such a socket.
std::optional<uid_t> PeerUser(int socket);

// Only `user`'s own process is believed as the running window, and only it
// may bring that window forward.
bool IsTrustedPeer(std::optional<uid_t> peer, uid_t user);

}  // namespace quorvane::ui
