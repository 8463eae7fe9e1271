#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "config/file_handle.h"

namespace quorvane::cgi {

// The cgroup v2 folder this process runs in, when this process may create
// cgroups below it (a session manager delegates the user's own subtree);
// nothing otherwise.
std::optional<std::filesystem::path> DelegatedCgroup();

// One fresh cgroup below a delegated one, holding one CGI child and
// everything it starts, however it detaches: killing the cgroup ends them
// all. Removed again by Remove or, failing that, the destructor.
class ChildCgroup {
  public:
    // Nothing when the cgroup cannot be made or cannot be killed as a whole.
    static std::optional<ChildCgroup> Create(const std::filesystem::path& parent);

    ChildCgroup(ChildCgroup&&) = default;
    ChildCgroup& operator=(ChildCgroup&&) = delete;
    ~ChildCgroup();

    // For clone3's CLONE_INTO_CGROUP.
    int Fd() const { return folder_.Get(); }
    // Sends SIGKILL to every process in the cgroup.
    void Kill() const;
    // Removes the cgroup; false while a killed process has not ended yet.
    bool Remove();

  private:
    ChildCgroup(std::filesystem::path path, config::FileHandle folder)
        : path_(std::move(path)), folder_(std::move(folder)) {}

    std::filesystem::path path_;
    config::FileHandle folder_;
};

}  // namespace quorvane::cgi
