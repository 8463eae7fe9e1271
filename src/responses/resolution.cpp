#include "responses/resolution.h"

#include <algorithm>

#include "config/setting_keys.h"
#include "config/text.h"
#include "responses/path_facts.h"

namespace quorvane::responses {

namespace fs = std::filesystem;

namespace {

std::vector<std::string_view> NameSegments(std::string_view name) {
    std::vector<std::string_view> segments;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string_view::npos) {
            end = name.size();
        }
        const std::string_view segment = name.substr(start, end - start);
        if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    return segments;
}

bool IsPrefix(const std::vector<std::string_view>& prefix, const std::vector<std::string>& whole) {
    return prefix.size() <= whole.size() && std::equal(prefix.begin(), prefix.end(), whole.begin());
}

bool NamesHiddenEntry(const std::vector<std::string>& segments) {
    return std::any_of(segments.begin(), segments.end(),
                       [](const std::string& segment) { return segment.front() == '.'; });
}

// "/" and each segment followed by "/".
std::string FolderText(const std::vector<std::string>& segments) {
    std::string text(1, '/');
    for (const std::string& segment : segments) {
        text.append(segment).push_back('/');
    }
    return text;
}

// A configured folder, with the final separator a setting may carry removed.
fs::path ConfiguredFolder(const config::ProgramFolder& folder, std::string configured) {
    while (configured.size() > 1 && configured.back() == '/') {
        configured.pop_back();
    }
    return folder.Resolve(configured);
}

// What the request's record is, and how many of the folder's segments it
// takes. The root record takes none and is chosen only for "/" itself.
std::optional<std::pair<VirtualDirectory, size_t>> MatchRecord(
    const std::vector<config::Record>& dirs, const std::vector<std::string>& folderSegments) {
    std::optional<std::pair<VirtualDirectory, size_t>> best;
    for (const config::Record& record : dirs) {
        if (record.size() != 5 || record[0].empty() || record[1].empty()) {
            continue;  // a record without a name or a folder maps nothing
        }
        const std::vector<std::string_view> name = NameSegments(record[0]);
        const bool matches = name.empty() ? folderSegments.empty() : IsPrefix(name, folderSegments);
        if (matches && (!best || name.size() > best->second)) {
            best.emplace(VirtualDirectory{record[0], record[1], record[2], record[3], record[4]},
                         name.size());
        }
    }
    return best;
}

// The own files are looked up once, and only when something was found;
// an HTTPS key configured outside the program folder counts too, wherever
// it lies.
class OwnFilesOnce {
  public:
    explicit OwnFilesOnce(const ResolveContext& context) : context_(context) {}
    bool Contains(const struct stat& info) {
        if (!own_) {
            own_.emplace(OwnFilesWithKey(context_.folder, context_.settings, context_.own));
        }
        return own_->Contains(info);
    }

  private:
    const ResolveContext& context_;
    std::optional<config::OwnFiles> own_;
};

}  // namespace

config::OwnFiles OwnFilesWithKey(const config::ProgramFolder& folder,
                                 const config::Settings& settings, const config::OwnFiles* known) {
    config::OwnFiles own = known != nullptr ? *known : config::OwnFiles(folder);
    const std::string key = config::ServerValue(settings, config::setting::kKeyFile);
    if (!key.empty()) {
        own.Add(folder.Resolve(key));
    }
    return own;
}

namespace {

Found KindOf(const PathFacts& facts, OwnFilesOnce& own) {
    if (!facts.exists || facts.systemArea || own.Contains(facts.info)) {
        return Found::kNothing;
    }
    if (S_ISREG(facts.info.st_mode)) {
        return Found::kFile;
    }
    return S_ISDIR(facts.info.st_mode) ? Found::kFolder : Found::kNothing;
}

using SecureFolder = ResolveCache::SecureFolder;

std::vector<SecureFolder> LookUpSecureFolders(const std::vector<config::Record>& dirs,
                                              const config::ProgramFolder& program) {
    std::vector<SecureFolder> folders;
    for (const config::Record& record : dirs) {
        if (record.size() == 5 && record[2] == "Yes" && !record[1].empty()) {
            const fs::path configured = ConfiguredFolder(program, record[1]);
            const PathFacts facts = Examine(configured);
            // A folder not there yet is kept as nothing (no device, no inode).
            folders.push_back({configured, facts.exists ? facts.info.st_dev : 0,
                               facts.exists ? facts.info.st_ino : 0, facts.canonical, record[0]});
        }
    }
    return folders;
}

// The deepest secure folder that holds the path names the realm.
const SecureFolder* Securing(const std::vector<SecureFolder>& folders, const fs::path& canonical) {
    const SecureFolder* deepest = nullptr;
    for (const SecureFolder& folder : folders) {
        if (IsInside(canonical, folder.canonical) &&
            (deepest == nullptr ||
             std::distance(folder.canonical.begin(), folder.canonical.end()) >
                 std::distance(deepest->canonical.begin(), deepest->canonical.end()))) {
            deepest = &folder;
        }
    }
    return deepest;
}

}  // namespace

const std::vector<SecureFolder>& ResolveCache::SecureFolders(
    const std::shared_ptr<const std::vector<config::Record>>& dirs,
    const config::ProgramFolder& folder) {
    bool current = dirs_ == dirs;
    // One look per secure folder tells whether its name still leads to it
    // (or still to nothing).
    for (size_t i = 0; current && i < secure_.size(); ++i) {
        struct stat info {};
        const bool exists = ::stat(secure_[i].configured.c_str(), &info) == 0;
        current = exists ? info.st_dev == secure_[i].device && info.st_ino == secure_[i].inode
                         : secure_[i].device == 0 && secure_[i].inode == 0;
    }
    if (!current) {
        secure_ = LookUpSecureFolders(*dirs, folder);
        dirs_ = dirs;
    }
    return secure_;
}

Resolution Resolve(const RequestTarget& target, const ResolveContext& context) {
    Resolution resolution;
    std::vector<std::string> folderSegments = target.segments;
    if (!target.endsWithSlash && !folderSegments.empty() &&
        folderSegments.back().find('.') != std::string::npos) {
        resolution.document = std::move(folderSegments.back());
        folderSegments.pop_back();
    }
    resolution.directory = FolderText(folderSegments);

    const config::Settings& settings = context.settings;
    size_t taken = 0;
    if (auto match = MatchRecord(context.dirs, folderSegments)) {
        resolution.record = std::move(match->first);
        taken = match->second;
        resolution.folder = ConfiguredFolder(context.folder, resolution.record->folder);
        resolution.policy.scripts = resolution.record->script == "Yes";
        resolution.policy.programs = resolution.record->exe == "Yes";
    } else {
        resolution.folder = ConfiguredFolder(
            context.folder, config::ServerValue(settings, config::setting::kRootDirectory));
        resolution.policy.scripts = config::IsOn(settings, config::setting::kScriptAllowed);
        resolution.policy.programs = config::IsOn(settings, config::setting::kExeAllowed);
    }
    for (size_t i = taken; i < folderSegments.size(); ++i) {
        resolution.folder /= folderSegments[i];
    }
    resolution.path =
        resolution.document.empty() ? resolution.folder : resolution.folder / resolution.document;

    OwnFilesOnce own(context);
    OrdinaryDevices* devices = context.cache != nullptr ? &context.cache->Devices() : nullptr;
    PathFacts facts = Examine(resolution.path, devices);
    resolution.found = NamesHiddenEntry(target.segments) ? Found::kNothing : KindOf(facts, own);
    if (resolution.document.empty() && resolution.found == Found::kFile) {
        // A last name without a dot names a folder, unless a file of that
        // name is there ("README"); a file asked for as a folder ("form.pl/")
        // is no folder, and never its own listing or source.
        if (target.endsWithSlash || folderSegments.size() == taken) {
            resolution.found = Found::kNothing;
        } else {
            resolution.document = folderSegments.back();
            folderSegments.pop_back();
            resolution.directory = FolderText(folderSegments);
            resolution.folder = resolution.folder.parent_path();
        }
    }
    fs::path served = facts.canonical;
    if (resolution.found == Found::kFile) {
        resolution.examined = facts.handle;
        resolution.info = facts.info;
    }
    if (resolution.found == Found::kFolder && resolution.document.empty()) {
        for (const config::Record& entry : context.defaults) {
            const std::string& name = entry.front();
            if (name.empty() || name.find('/') != std::string::npos || name == "..") {
                continue;
            }
            const PathFacts candidate = Examine(resolution.folder / name, devices);
            if (KindOf(candidate, own) == Found::kFile) {
                resolution.document = name;
                resolution.defaultDocument = true;
                resolution.path = resolution.folder / name;
                resolution.found = Found::kFile;
                served = candidate.canonical;
                resolution.examined = candidate.handle;
                resolution.info = candidate.info;
                break;
            }
        }
    }

    // Both the folder asked for and the file picked in it must be outside
    // every secure folder to go without credentials.
    std::vector<SecureFolder> lookedUp;
    const std::vector<SecureFolder>& secure =
        context.cache != nullptr && context.dirsSnapshot != nullptr
            ? context.cache->SecureFolders(context.dirsSnapshot, context.folder)
            : (lookedUp = LookUpSecureFolders(context.dirs, context.folder));
    const SecureFolder* securing = Securing(secure, facts.canonical);
    if (securing == nullptr) {
        securing = Securing(secure, served);
    }
    if (securing != nullptr) {
        resolution.policy.secure = true;
        resolution.policy.realm = securing->realm;
    } else if (config::IsOn(settings, config::setting::kSecure)) {
        resolution.policy.secure = true;
        resolution.policy.realm = resolution.directory;
    }
    return resolution;
}

}  // namespace quorvane::responses
