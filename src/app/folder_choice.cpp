#include "app/folder_choice.h"

#include <system_error>
#include <vector>

#include "config/atomic_file.h"
#include "config/program_folder.h"

namespace quorvane::app {

namespace fs = std::filesystem;

namespace {

// A copy never readable by others, not even while it is written, however
// open the folder is; one already there is kept.
std::error_code CopyPrivateFile(const fs::path& source, const fs::path& target) {
    // The samples' users have passwords anyone can read in the samples: a
    // folder of one's own starts with none, so nothing secure opens to them.
    const std::optional<std::string> content = source.filename() == config::kUsersList
                                                   ? std::optional<std::string>("")
                                                   : config::ReadWholeFile(source);
    if (!content) {
        return std::make_error_code(std::errc::io_error);
    }
    const std::error_code error = config::CreateNewFile(target, *content, config::kPrivateFileMode);
    return error == std::errc::file_exists ? std::error_code() : error;
}

}  // namespace

FolderChoice::FolderChoice(Places places) : places_(std::move(places)) {}

std::optional<fs::path> FolderChoice::PerUserFolder(const std::string& xdgConfigHome,
                                                    const std::string& home) {
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    if (!xdgConfigHome.empty() && xdgConfigHome.front() == '/') {
        return fs::path(xdgConfigHome) / "quorvane";
    }
    if (!home.empty()) {
        return fs::path(home) / ".config" / "quorvane";
    }
    return std::nullopt;
}

FolderChoice::Result FolderChoice::Choose() const {
    Result result;
    std::error_code error;
    if (places_.requested) {
        result.kind = Kind::kRequested;
        result.folder = fs::absolute(*places_.requested, error);
        if (error) {
            result.problem =
                "cannot use folder " + places_.requested->string() + ": " + error.message();
            return result;
        }
    } else if (fs::is_regular_file(places_.executableFolder / config::kSettingsFileName, error)) {
        result.kind = Kind::kPortable;
        result.folder = places_.executableFolder;
        return result;
    } else if (auto perUser = PerUserFolder(places_.xdgConfigHome, places_.home)) {
        result.kind = Kind::kPerUser;
        result.folder = *perUser;
    } else {
        result.problem = "neither XDG_CONFIG_HOME nor HOME names a folder; use --folder DIR";
        return result;
    }
    if (fs::exists(result.folder / config::kSettingsFileName, error) ||
        !fs::is_directory(places_.samplesFolder, error)) {
        // Without samples the start-up's missing-settings warning says the rest.
        return result;
    }
    result.problem = FillFromSamples(result.folder, result.created);
    result.filled = result.problem.empty();
    return result;
}

std::string FolderChoice::FillFromSamples(const fs::path& folder, bool& created) const {
    std::error_code error;
    if (!fs::exists(folder, error)) {
        fs::create_directories(folder, error);
        if (error) {
            return "cannot create " + folder.string() + ": " + error.message();
        }
        created = true;
        // users.lst may hold passwords in plain text.
        fs::permissions(folder, fs::perms::owner_all, error);
    } else if (!fs::is_directory(folder, error)) {
        return folder.string() + " is not a folder";
    }

    // Files already there are kept; the settings file comes last, so that a
    // copy cut short is completed at the next start.
    const fs::path settings = places_.samplesFolder / config::kSettingsFileName;
    std::vector<fs::path> files;
    for (auto entry = fs::recursive_directory_iterator(places_.samplesFolder, error);
         !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (entry->path() != settings) {
            files.push_back(entry->path());
        }
    }
    if (error) {
        return "cannot read the samples in " + places_.samplesFolder.string() + ": " +
               error.message();
    }
    files.push_back(settings);
    for (const fs::path& source : files) {
        const fs::path relative = fs::relative(source, places_.samplesFolder);
        const fs::path target = folder / relative;
        if (fs::is_directory(source, error)) {
            fs::create_directories(target, error);
        } else if (relative == relative.filename() &&
                   config::IsPrivateFile(relative.filename().string())) {
            error = CopyPrivateFile(source, target);
        } else {
            fs::copy_file(source, target, fs::copy_options::skip_existing, error);
        }
        if (error) {
            return "cannot copy " + source.string() + " to " + target.string() + ": " +
                   error.message();
        }
    }
    return {};
}

std::string FolderChoice::Notice(const Result& result) const {
    if (!result.filled) {
        return {};
    }
    return std::string(result.created ? "Created" : "Completed") + " the program folder " +
           result.folder.string() + " from the samples in " + places_.samplesFolder.string();
}

}  // namespace quorvane::app
