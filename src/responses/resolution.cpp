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
std::optional<std::pair<config::VirtualDirectory, size_t>> MatchRecord(
    const std::vector<config::VirtualDirectory>& dirs,
    const std::vector<std::string>& folderSegments) {
    std::optional<std::pair<config::VirtualDirectory, size_t>> best;
    for (const config::VirtualDirectory& record : dirs) {
        if (record.name.empty() || record.folder.empty()) {
            continue;  // a record without a name or a folder maps nothing
        }
        const std::vector<std::string_view> name = NameSegments(record.name);
        const bool matches = name.empty() ? folderSegments.empty() : IsPrefix(name, folderSegments);
        if (matches && (!best || name.size() > best->second)) {
            best.emplace(record, name.size());
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

// A configured folder with what it lets happen inside it, where it lies now.
struct PolicyFolder {
    std::optional<fs::path> real;                      // nothing when where it lies cannot be told
    const config::VirtualDirectory* record = nullptr;  // nothing for the root folder
};

bool RootRuns(const config::Settings& settings) {
    return config::IsOn(settings, config::setting::kScriptAllowed) ||
           config::IsOn(settings, config::setting::kExeAllowed);
}

bool HoldsScripts(const std::string& name) {
    for (std::string_view kind : {".pl", ".cgi", ".exe"}) {
        if (config::ToUpperAscii(name).find(config::ToUpperAscii(kind)) != std::string::npos) {
            return true;
        }
    }
    return false;
}

PolicyFolder Locate(const config::ProgramFolder& program, const std::string& configured,
                    const config::VirtualDirectory* record) {
    return {RealPathNow(ConfiguredFolder(program, configured)), record};
}

size_t Depth(const fs::path& path) {
    return static_cast<size_t>(std::distance(path.begin(), path.end()));
}

// Secure when a secure record's folder holds the file (the deepest names the
// realm). A folder that cannot be located counts as holding it: a failure
// never opens what it guards.
void ApplySecureFolders(const ResolveContext& context, const std::vector<fs::path>& lying,
                        Policy& policy) {
    std::optional<PolicyFolder> deepest;
    for (const config::VirtualDirectory& record : context.dirs) {
        if (!record.secure || record.folder.empty()) {
            continue;
        }
        PolicyFolder folder = Locate(context.folder, record.folder, &record);
        const bool holds =
            !folder.real || std::any_of(lying.begin(), lying.end(), [&](const fs::path& place) {
                return IsInside(place, *folder.real);
            });
        if (holds && !record.users.empty()) {
            policy.admitted.push_back(record.users);
        }
        if (holds && (!deepest || !folder.real ||
                      (deepest->real && Depth(*folder.real) > Depth(*deepest->real)))) {
            deepest = std::move(folder);
        }
    }
    if (deepest) {
        policy.secure = true;
        policy.realm = deepest->record->name;
    }
}

// Scripts, programs and writes follow the deepest configured folder holding
// the file; any folder holding it that lets either run guards its sources,
// and takes no writes.
void ApplyFolderRules(const ResolveContext& context, const fs::path& lying, Policy& policy) {
    std::vector<PolicyFolder> folders{
        Locate(context.folder,
               config::ServerValue(context.settings, config::setting::kRootDirectory), nullptr)};
    for (const config::VirtualDirectory& record : context.dirs) {
        if (!record.name.empty() && !record.folder.empty()) {
            folders.push_back(Locate(context.folder, record.folder, &record));
        }
    }
    const PolicyFolder* deepest = nullptr;
    for (const PolicyFolder& folder : folders) {
        const bool runs = folder.record ? folder.record->scripts || folder.record->programs
                                        : RootRuns(context.settings);
        // One that cannot be located may hold it: its sources stay guarded.
        if (!folder.real || IsInside(lying, *folder.real)) {
            policy.insideScriptFolder = policy.insideScriptFolder || runs;
        }
        if (folder.real && IsInside(lying, *folder.real) &&
            (deepest == nullptr || Depth(*folder.real) > Depth(*deepest->real))) {
            deepest = &folder;
        }
    }
    if (deepest == nullptr) {
        return;
    }
    const config::Settings& settings = context.settings;
    const config::VirtualDirectory* record = deepest->record;
    policy.scripts =
        record ? record->scripts : config::IsOn(settings, config::setting::kScriptAllowed);
    policy.programs =
        record ? record->programs : config::IsOn(settings, config::setting::kExeAllowed);
    if (!policy.insideScriptFolder) {
        policy.uploads =
            record ? record->uploads : config::IsOn(settings, config::setting::kUploads);
        policy.changes =
            record ? record->changes : config::IsOn(settings, config::setting::kChanges);
    }
}

// Whether any folder lets visitors write, so the rules are worth looking up.
bool AnyWritable(const ResolveContext& context) {
    return IsOn(context.settings, config::setting::kUploads) ||
           IsOn(context.settings, config::setting::kChanges) ||
           std::any_of(context.dirs.begin(), context.dirs.end(),
                       [](const config::VirtualDirectory& record) {
                           return record.uploads || record.changes;
                       });
}

void ApplyPolicy(const ResolveContext& context, const std::vector<fs::path>& lying,
                 const std::string& realm, bool allRules, Policy& policy) {
    ApplySecureFolders(context, lying, policy);
    if (!policy.secure && config::IsOn(context.settings, config::setting::kSecure)) {
        policy.secure = true;
        policy.realm = realm;
    }
    if (allRules || AnyWritable(context)) {
        ApplyFolderRules(context, lying.back(), policy);
    }
}

}  // namespace

namespace {

// The record the segments come through (or the root folder): its folder
// becomes the resolution's base; returns how many segments it took.
size_t TakeRecord(const ResolveContext& context, const std::vector<std::string>& segments,
                  Resolution& resolution) {
    if (auto match = MatchRecord(context.dirs, segments)) {
        resolution.record = std::move(match->first);
        resolution.base = ConfiguredFolder(context.folder, resolution.record->folder);
        return match->second;
    }
    resolution.base = ConfiguredFolder(
        context.folder, config::ServerValue(context.settings, config::setting::kRootDirectory));
    return 0;
}

// The request's folder and document in URL space, and where on disk they
// lie: the record the folder comes through (or the root folder) with the
// rest of its segments joined on. Returns the segments the record took.
size_t MapOntoFolders(const http::RequestTarget& target, const ResolveContext& context,
                      std::vector<std::string>& folderSegments, Resolution& resolution) {
    if (!target.endsWithSlash && !folderSegments.empty() &&
        folderSegments.back().find('.') != std::string::npos) {
        resolution.document = std::move(folderSegments.back());
        folderSegments.pop_back();
    }
    resolution.directory = FolderText(folderSegments);
    const size_t taken = TakeRecord(context, folderSegments, resolution);
    resolution.folder = resolution.base;
    resolution.below.clear();
    for (size_t i = taken; i < folderSegments.size(); ++i) {
        resolution.folder /= folderSegments[i];
        resolution.below.push_back(folderSegments[i]);
    }
    if (!resolution.document.empty()) {
        resolution.below.push_back(resolution.document);
    }
    resolution.path =
        resolution.document.empty() ? resolution.folder : resolution.folder / resolution.document;
    return taken;
}

// The first default document of the folder that is a file; false with none.
bool PickDefaultDocument(const ResolveContext& context, OwnFilesOnce& own, OrdinaryDevices* devices,
                         Resolution& resolution, fs::path& served) {
    for (const std::string& name : context.defaults) {
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
            return true;
        }
    }
    return false;
}

}  // namespace

Resolution Resolve(const http::RequestTarget& target, const ResolveContext& context) {
    Resolution resolution;
    std::vector<std::string> folderSegments = target.segments;
    const size_t taken = MapOntoFolders(target, context, folderSegments, resolution);

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
        PickDefaultDocument(context, own, devices, resolution, served);
    }
    // Both the folder asked for and the file picked in it must be outside
    // every secure folder to go without credentials. Only a name that could
    // run needs to know which folders lie around it, unless some take writes.
    ApplyPolicy(context, {facts.canonical, served}, resolution.directory,
                !resolution.document.empty() && HoldsScripts(resolution.document),
                resolution.policy);
    return resolution;
}

Resolution ResolveEntry(const http::RequestTarget& target, const ResolveContext& context) {
    Resolution resolution;
    const std::vector<std::string>& segments = target.segments;
    const size_t taken = TakeRecord(context, segments, resolution);
    resolution.below.assign(segments.begin() + static_cast<std::ptrdiff_t>(taken), segments.end());
    resolution.folder = resolution.base;
    for (size_t i = 0; i + 1 < resolution.below.size(); ++i) {
        resolution.folder /= resolution.below[i];
    }
    resolution.document = resolution.below.empty() ? std::string() : resolution.below.back();
    resolution.path =
        resolution.below.empty() ? resolution.folder : resolution.folder / resolution.document;
    std::vector<std::string> parent = segments;
    if (!parent.empty()) {
        parent.pop_back();
    }
    resolution.directory = FolderText(parent);

    OwnFilesOnce own(context);
    OrdinaryDevices* devices = context.cache != nullptr ? &context.cache->Devices() : nullptr;
    const PathFacts facts = Examine(resolution.path, devices);
    resolution.found = NamesHiddenEntry(segments) ? Found::kNothing : KindOf(facts, own);
    if (resolution.found == Found::kFile) {
        resolution.examined = facts.handle;
        resolution.info = facts.info;
    }
    ApplyPolicy(context, {facts.canonical}, resolution.directory, true, resolution.policy);
    return resolution;
}

bool HoldsGuardedFolder(const fs::path& tree, const ResolveContext& context) {
    const auto held = [&](const fs::path& configured) {
        const std::optional<fs::path> real = RealPathNow(configured);
        return !real || IsInside(*real, tree);
    };
    if (held(context.folder.Path()) ||
        (RootRuns(context.settings) &&
         held(ConfiguredFolder(
             context.folder,
             config::ServerValue(context.settings, config::setting::kRootDirectory))))) {
        return true;
    }
    return std::any_of(
        context.dirs.begin(), context.dirs.end(), [&](const config::VirtualDirectory& record) {
            return !record.folder.empty() && (record.secure || record.scripts || record.programs) &&
                   held(ConfiguredFolder(context.folder, record.folder));
        });
}

}  // namespace quorvane::responses

namespace quorvane::responses {

bool LiesInServedFolder(const fs::path& path, const ResolveContext& context) {
    const std::optional<fs::path> real = RealPathNow(path);
    if (!real) {
        return false;
    }
    std::vector<PolicyFolder> folders{
        Locate(context.folder,
               config::ServerValue(context.settings, config::setting::kRootDirectory), nullptr)};
    for (const config::VirtualDirectory& record : context.dirs) {
        if (!record.folder.empty()) {
            folders.push_back(Locate(context.folder, record.folder, &record));
        }
    }
    return std::any_of(folders.begin(), folders.end(), [&](const PolicyFolder& folder) {
        return folder.real && IsInside(*real, *folder.real);
    });
}

Policy FolderRulesAt(const fs::path& lying, const ResolveContext& context) {
    Policy policy;
    ApplyFolderRules(context, lying, policy);
    return policy;
}

}  // namespace quorvane::responses
