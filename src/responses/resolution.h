#pragma once

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/list_records.h"
#include "config/program_folder.h"
#include "config/settings_file.h"
#include "config/text.h"
#include "http/target.h"
#include "responses/path_facts.h"

namespace quorvane::responses {

// What applies where a request lands.
struct Policy {
    bool secure = false;  // credentials are needed
    std::string realm;    // named in the challenge
    // For each secure folder holding the path that names its users, those
    // users: one who enters must be named in every list.
    std::vector<std::vector<std::string>> admitted;
    bool scripts = false;   // ".pl" and ".cgi" names may run
    bool programs = false;  // ".exe" names may run
    // Some folder that holds the file lets scripts or programs run, so a
    // name that could run there is never sent as a document.
    bool insideScriptFolder = false;
    // Visitors may add files and folders here; may overwrite, rename, move
    // and delete here. Never where a name could run.
    bool uploads = false;
    bool changes = false;

    bool TakesWrites() const { return uploads || changes; }
    bool Admits(std::string_view user) const {
        // Names compare as sign-in compares them, without regard to case.
        return std::all_of(admitted.begin(), admitted.end(), [&](const auto& users) {
            return std::any_of(users.begin(), users.end(), [&](const std::string& named) {
                return config::EqualsIgnoringCase(named, user);
            });
        });
    }
};

enum class Found { kNothing, kFile, kFolder };

// Where a request target leads on disk and what applies there. Every physical
// path is a configured folder with request segments joined onto it, never
// anything the request spelled out.
struct Resolution {
    std::optional<config::VirtualDirectory> record;  // the record the path came through
    std::string directory;          // the request's folder in URL space: "/" or "/docs/sub/"
    std::string document;           // the document's name; empty when the target is a folder
    bool defaultDocument = false;   // the document was picked from default.lst
    std::filesystem::path folder;   // the physical folder of `directory`
    std::filesystem::path path;     // folder/document, or the folder itself
    Found found = Found::kNothing;  // hidden names, own files and system areas count as nothing
    Policy policy;
    // For a file found: the file as examined, and what it was then.
    std::shared_ptr<const config::FileHandle> examined;
    struct stat info {};
    // A folder opened as it was found, held while `folder` names it through
    // that descriptor, so what is listed is that very folder.
    std::shared_ptr<const config::FileHandle> openedFolder;
    // The configured folder the path is built on, and the request's segments
    // joined onto it, so a write can open each of them beneath that folder.
    std::filesystem::path base;
    std::vector<std::string> below;
};

// What resolution keeps between requests on the engine's thread: the file
// systems known to be ordinary. Where a configured folder lies is never kept:
// a folder moved or a link re-pointed changes it at any moment.
class ResolveCache {
  public:
    OrdinaryDevices& Devices() { return devices_; }

  private:
    OrdinaryDevices devices_;
};

// The program's own files (`known`, or looked up now) with the HTTPS key
// the settings name, which may lie anywhere, even inside the site.
config::OwnFiles OwnFilesWithKey(const config::ProgramFolder& folder,
                                 const config::Settings& settings, const config::OwnFiles* known);

struct ResolveContext {
    const std::vector<config::VirtualDirectory>& dirs;
    const std::vector<std::string>& defaults;
    const config::Settings& settings;
    const config::ProgramFolder& folder;
    const config::OwnFiles* own = nullptr;  // as last looked up; looked up here when absent
    // Kept between requests; without one, everything is looked up afresh.
    ResolveCache* cache = nullptr;
};

// Maps the target onto the configured folders. The request's folder is the
// target without its last segment when that segment holds a "." (a document);
// otherwise the whole target is a folder, and its default document, when one
// exists, becomes the document. A virtual directory serves its whole tree: the
// record with the longest name that is a whole-segment prefix of the request's
// folder wins (the first of equals), and the root record "/" covers "/" alone;
// every other folder comes from RootDirectory. What applies follows from where
// the file lies now, links resolved, never from the way it was asked for: the
// path is secure whenever it lies inside the folder of a secure record, or
// when the whole site is secure; scripts and programs follow the deepest
// configured folder that holds it, and a name that would run in any folder
// holding it never goes out as a document.
Resolution Resolve(const http::RequestTarget& target, const ResolveContext& context);

// The same mapping for a method that acts on the entry the target names,
// whatever its name looks like and whether it exists yet: no default
// document, no dot rule. `document` is the last segment (empty for a
// configured folder itself), `folder` the folder holding it. The policy
// follows where the entry lies, or would lie once made, and always knows
// whether names could run and whether visitors may write there: the deepest
// configured folder holding it decides, and a folder where names could run
// never takes writes.
Resolution ResolveEntry(const http::RequestTarget& target, const ResolveContext& context);

}  // namespace quorvane::responses

namespace quorvane::responses {

// Whether a tree at `tree` (where it lies now) holds a folder the owner
// configured to guard or run something: a secure folder, a folder where
// names run, or the program's own folder. One that cannot be located
// counts as held.
bool HoldsGuardedFolder(const std::filesystem::path& tree, const ResolveContext& context);

// Whether a path, where it lies now, is inside the root folder or a
// virtual directory's folder.
bool LiesInServedFolder(const std::filesystem::path& path, const ResolveContext& context);

// What the configured folders let happen at a place on disk, `lying` where
// it lies now: scripts, programs, guarded sources and writes, as for a
// request that reaches it (never secure: that is the caller's to say).
Policy FolderRulesAt(const std::filesystem::path& lying, const ResolveContext& context);

}  // namespace quorvane::responses
