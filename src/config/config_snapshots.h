#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <variant>

#include "config/folder_watch.h"
#include "config/list_records.h"
#include "config/program_folder.h"
#include "config/settings_file.h"
#include "config/share_links.h"

namespace quorvane::config {

// A file that exists but could not be read (descriptors ran out, an I/O
// error, a folder where the file should be, a file changing while read), and
// whether an earlier reading of it stays in use meanwhile.
struct ReadProblem {
    std::filesystem::path file;
    std::string reason;
    bool earlierCopyKept = false;
};

// What a file holds once read, by kind.
using Directories = std::vector<VirtualDirectory>;
using Users = std::vector<UserAccount>;
using MediaTypes = std::vector<MediaType>;
using Names = std::vector<std::string>;       // default.lst, iplist.lst, nocgi.lst
using PageText = std::optional<std::string>;  // an error page; nothing when missing

// The settings and every list as one request sees them.
struct Configuration {
    std::shared_ptr<const Settings> settings;
    std::shared_ptr<const Directories> directories;
    std::shared_ptr<const Names> defaultDocuments;
    std::shared_ptr<const MediaTypes> mediaTypes;
    std::shared_ptr<const Names> blocked;
    std::shared_ptr<const Names> scriptsBarred;
    std::shared_ptr<const Users> users;
    // What share links open; none while shares.lst cannot be read, since
    // an earlier reading could hold a link revoked since.
    std::shared_ptr<const ShareLinks> shares;

    // False when a file that decides who may see what could not be read and
    // no earlier reading of it is at hand: nothing may be answered from it.
    bool Complete() const { return settings && directories && blocked && scriptsBarred && users; }
};

// The settings file and the list files as last read, so a request does not
// read and parse them again. Change notification on their folders (and on
// the folders of every link they are reached through) tells when one must be
// looked at again; where there is none, its identity (device, inode, size,
// modification time in nanoseconds) is compared on every use. A file whose
// modification time lies within two seconds of the moment it was read could
// change again without its time moving, so it is read afresh until it is
// older. An edit on disk thus applies to the very next request, as it would
// without any snapshot.
//
// A file that is not there (in a folder that is) counts as missing. A file
// that cannot be read never counts as missing: its last good reading stays in
// use, it is tried again on the next use, and the problem is reported once.
class ConfigSnapshots {
  public:
    // `notified` false looks at every file on every use, as where change
    // notification is unavailable.
    explicit ConfigSnapshots(bool notified = true);

    // Takes the changes reported since the last call. A caller that calls it
    // before each request's lookups (the request handler) saves every
    // further look at the notifications; until then, every lookup takes them.
    void Refresh();

    // Everything a request reads, taken at once.
    Configuration Take(const ProgramFolder& folder);

    // The file read as one of the kinds above (Settings, Directories, Users,
    // MediaTypes, Names, PageText, ShareLinks): a missing one as empty (a PageText as
    // nothing); nothing at all when it could not be read and never was
    // before (a PageText then as missing).
    template <typename Kind>
    std::shared_ptr<const Kind> Get(const std::filesystem::path& path);

    // The program's own files as they are now; looked up again only after
    // their folder changed.
    std::shared_ptr<const OwnFiles> OwnFilesOf(const ProgramFolder& folder);

    // The problems met since the last call, each once until its file reads again.
    std::vector<ReadProblem> TakeProblems();

    // How many times a file was actually read; for tests and benchmarks.
    uint64_t Reads() const;

  private:
    struct Identity {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        int64_t modifiedNs = 0;
        bool operator==(const Identity&) const = default;
    };
    struct Reading;
    using Value = std::variant<std::shared_ptr<const Settings>, std::shared_ptr<const Directories>,
                               std::shared_ptr<const Users>, std::shared_ptr<const MediaTypes>,
                               std::shared_ptr<const Names>, std::shared_ptr<const PageText>,
                               std::shared_ptr<const ShareLinks>>;
    struct Entry {
        Identity identity;
        int64_t readAtNs = 0;
        std::optional<Value> value;      // the last good reading
        std::vector<std::string> links;  // every file a link on the way names
        bool notified = false;           // its folder was watched when it was read
        bool stale = false;              // a change was reported since
        bool failing = false;            // the last reading failed; tried again on the next use
        bool reported = false;           // its failure was told
    };
    using Parse = std::function<Value(const std::string* text)>;

    // The value of the file, read again when it may have changed; nothing
    // when it cannot be read and no good reading of its kind is kept.
    std::optional<Value> Load(const std::filesystem::path& path, size_t kind, const Parse& parse);
    // The entry's value when it can be trusted, else nothing.
    std::optional<Value> Trusted(const std::filesystem::path& path, size_t kind);
    // With the lock held: marks what the watch reported as changed.
    void TakeChangesLocked();
    // Watches the folder that holds the path; false without notification.
    bool WatchFolderOf(const std::filesystem::path& path);
    Reading Read(const std::filesystem::path& path, int64_t readAtNs);
    // With the lock held: what a failed reading leaves in use.
    std::optional<Value> KeepAfterFailure(const std::string& key, size_t kind,
                                          const std::string& reason);

    mutable std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
    uint64_t reads_ = 0;
    std::optional<FolderWatch> watch_;
    std::shared_ptr<const OwnFiles> own_;
    std::string ownFolder_;  // where `own_` was looked up, and it was watched
    bool refreshedByCaller_ = false;
    std::vector<ReadProblem> problems_;
};

}  // namespace quorvane::config
