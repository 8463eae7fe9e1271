#include "config/program_folder.h"

#include <array>
#include <system_error>

namespace quorvane::config {

namespace fs = std::filesystem;

ProgramFolder::ProgramFolder(fs::path folder) : folder_(std::move(folder)) {}

fs::path ProgramFolder::SettingsPath() const {
    return folder_ / kSettingsFileName;
}

fs::path ProgramFolder::ListFilePath(std::string_view name) const {
    return folder_ / name;
}

fs::path ProgramFolder::LogPath() const {
    return folder_ / kLogFileName;
}

fs::path ProgramFolder::Resolve(std::string_view configured) const {
    fs::path path{std::string(configured)};
    if (path.is_absolute()) {
        return path;
    }
    return folder_ / path;
}

bool ProgramFolder::IsOwnFile(const fs::path& candidate) const {
    static constexpr std::array kOwnFiles = {kSettingsFileName, kLogFileName, kDirsList,
                                             kDefaultList,      kMimeList,    kBlockList,
                                             kNoCgiList,        kUsersList,   kUsersScratch};
    const std::string name = candidate.filename().string();
    bool ownName = false;
    for (std::string_view own : kOwnFiles) {
        ownName = ownName || own == name;
    }
    if (!ownName) {
        return false;
    }
    // Only the folder is compared, so that "www/../quorvane.ini" and links to
    // the program folder are recognised too.
    std::error_code error;
    const fs::path parent = fs::weakly_canonical(candidate.parent_path(), error);
    if (error) {
        return false;
    }
    const fs::path folder = fs::weakly_canonical(folder_, error);
    return !error && parent == folder;
}

}  // namespace quorvane::config
