#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string_view>
#include <utility>
#include <vector>

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

  private:
    std::filesystem::path folder_;
};

// The program's own files (settings, lists, the user scratch file, the
// access log, the HTTPS certificate and key it made) as they are at one
// moment, recognised by identity (device and inode), so no link, hard link
// or /proc path serves them whatever it is called.
class OwnFiles {
  public:
    explicit OwnFiles(const ProgramFolder& folder);
    // Counts one more file (an HTTPS key configured elsewhere) as own.
    void Add(const std::filesystem::path& file);
    bool Contains(const struct stat& candidate) const;
    bool operator==(const OwnFiles&) const = default;

  private:
    std::vector<std::pair<dev_t, ino_t>> identities_;
};

inline constexpr std::string_view kSettingsFileName = "quorvane.ini";
inline constexpr std::string_view kLogFileName = "quorvane.log";
// The access log as it was when it reached its size limit.
inline constexpr std::string_view kOldLogFileName = "quorvane.log.1";
inline constexpr std::string_view kDirsList = "dirs.lst";
inline constexpr std::string_view kDefaultList = "default.lst";
inline constexpr std::string_view kMimeList = "mime.lst";
inline constexpr std::string_view kBlockList = "iplist.lst";
inline constexpr std::string_view kNoCgiList = "nocgi.lst";
inline constexpr std::string_view kUsersList = "users.lst";
inline constexpr std::string_view kUsersScratch = "users.pjc";
// The links that open one file or folder to whoever holds them.
inline constexpr std::string_view kSharesList = "shares.lst";
// The self-signed certificate HTTPS makes for itself, and its key.
inline constexpr std::string_view kCertificateFileName = "https-certificate.pem";
inline constexpr std::string_view kKeyFileName = "https-key.pem";

// The files that hold secrets (the users' passwords, who asked for what, the
// HTTPS key) are readable by their owner only, from their first byte on.
inline constexpr mode_t kPrivateFileMode = 0600;
bool IsPrivateFile(std::string_view name);

}  // namespace quorvane::config
