#include "config/program_folder.h"

#include <array>

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

OwnFiles::OwnFiles(const ProgramFolder& folder) {
    static constexpr std::array kOwnFiles = {
        kSettingsFileName, kLogFileName,  kOldLogFileName,      kDirsList,
        kDefaultList,      kMimeList,     kBlockList,           kNoCgiList,
        kUsersList,        kUsersScratch, kCertificateFileName, kKeyFileName,
        kSharesList};
    for (std::string_view own : kOwnFiles) {
        Add(folder.Path() / own);
    }
    Add("/proc/self/exe");  // the program itself, wherever it was started from
}

bool IsPrivateFile(std::string_view name) {
    return name == kUsersList || name == kUsersScratch || name == kLogFileName ||
           name == kOldLogFileName || name == kKeyFileName || name == kSharesList;
}

void OwnFiles::Add(const std::filesystem::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0) {
        identities_.emplace_back(info.st_dev, info.st_ino);
    }
}

bool OwnFiles::Contains(const struct stat& candidate) const {
    for (const auto& [device, inode] : identities_) {
        if (device == candidate.st_dev && inode == candidate.st_ino) {
            return true;
        }
    }
    return false;
}

}  // namespace quorvane::config
