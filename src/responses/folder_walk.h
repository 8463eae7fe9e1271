#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/file_handle.h"
#include "responses/open_file.h"

namespace quorvane::responses {

// One file or folder a walk found below its start folder.
struct WalkEntry {
    std::vector<std::string> segments;  // from the start folder; never empty
    bool folder = false;
    struct stat info {};  // of what the name leads to
};

// The caller's rules on what may be shown (secure folders, the program's
// own files, script sources). A folder refused is not entered.
using WalkAdmit = std::function<bool(const std::vector<std::string>& segments,
                                     const struct stat& info, bool folder)>;

struct WalkLimits {
    // Names listed, whatever becomes of them: it bounds both the work and
    // the names held at once.
    size_t mostEntries = 100000;
    size_t deepest = 32;  // segments below the start folder
    std::optional<std::chrono::steady_clock::time_point> deadline;
};

// Walks the tree below a start folder one entry at a time, depth first,
// each folder's names in byte order. What it holds grows with the depth and
// the names of the folders it is in, never with the whole tree.
//
// Every open is made beneath the configured folder's descriptor: a link may
// lead elsewhere inside it and is followed, one leading out (or an absolute
// one) is left out. Left out as well: hidden names, whatever is neither a
// regular file nor a folder, a folder already entered above (a loop of
// links), and what `admit` refuses. When a bound is reached the walk stops
// and says it was cut.
class FolderWalk {
  public:
    FolderWalk(const std::filesystem::path& base, std::vector<std::string> start, WalkAdmit admit,
               WalkLimits limits = {});

    // Only these names of the start folder (and what lies below them) are
    // walked; called before the first Next. A name found nowhere is absent.
    void KeepOnly(std::vector<std::string> topNames);

    // The next entry; nothing once the walk is over.
    std::optional<WalkEntry> Next();
    // A bound stopped the walk before it saw everything.
    bool Cut() const { return cut_; }
    // The start folder could be opened; nothing is walked otherwise.
    bool Opened() const { return opened_; }
    const struct stat& StartInfo() const { return startInfo_; }

    // The entry's file open for reading, the very file admitted (same device
    // and inode); nothing when it is gone or was replaced since.
    std::optional<OpenFile> Open(const WalkEntry& entry) const;

  private:
    struct Level {
        config::FileHandle folder;
        struct stat info {};
        std::vector<std::string> names;  // sorted
        size_t next = 0;
    };
    struct Pending {
        std::vector<std::string> segments;
        struct stat info {};
    };

    void Enter(const Pending& folder);
    std::optional<std::vector<std::string>> ListNames(int folder, bool top);
    std::optional<WalkEntry> Examine(const Level& level, const std::string& name) const;
    bool IsAncestor(const struct stat& info) const;
    std::vector<std::string> FromBase(const std::vector<std::string>& segments) const;
    bool PastDeadline() const;
    void Stop(bool cut);

    config::FileHandle base_;
    std::vector<std::string> start_;
    WalkAdmit admit_;
    WalkLimits limits_;
    std::vector<std::string> topNames_;  // sorted; empty: every name
    std::vector<struct stat> above_;     // the folders from the base down to the start's parent
    struct stat startInfo_ {};
    bool opened_ = false;
    bool cut_ = false;
    bool stopped_ = false;
    size_t listed_ = 0;
    std::vector<Level> levels_;
    std::vector<std::string> current_;  // the innermost level's segments
    std::optional<Pending> pending_;    // the folder last yielded, entered next
};

}  // namespace quorvane::responses
