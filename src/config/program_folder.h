#pragma once

#include <filesystem>
#include <string_view>

namespace quorvane::config {

// The folder that holds the executable and every file installed beside it:
// the settings file, the list files, the error pages and the access log.
// It is handed in from main (or from a test's temporary folder) and never
// looked up anywhere else.
class ProgramFolder {
  public:
    explicit ProgramFolder(std::filesystem::path folder);

    const std::filesystem::path& Path() const { return folder_; }
    std::filesystem::path SettingsPath() const;
    std::filesystem::path ListFilePath(std::string_view name) const;
    std::filesystem::path LogPath() const;

    // A path from a setting or a list file; a relative one is taken relative
    // to the program folder.
    std::filesystem::path Resolve(std::string_view configured) const;

    // True for the program's own files (settings, lists, the access log),
    // which are never served even when the site's root holds them.
    bool IsOwnFile(const std::filesystem::path& candidate) const;

  private:
    std::filesystem::path folder_;
};

inline constexpr std::string_view kSettingsFileName = "quorvane.ini";
inline constexpr std::string_view kLogFileName = "quorvane.log";
inline constexpr std::string_view kDirsList = "dirs.lst";
inline constexpr std::string_view kDefaultList = "default.lst";
inline constexpr std::string_view kMimeList = "mime.lst";
inline constexpr std::string_view kBlockList = "iplist.lst";
inline constexpr std::string_view kNoCgiList = "nocgi.lst";
inline constexpr std::string_view kUsersList = "users.lst";
inline constexpr std::string_view kUsersScratch = "users.pjc";

}  // namespace quorvane::config
