#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "config/program_folder.h"

namespace quorvane::ui {

// The logon autostart entry of the desktop (an XDG autostart file). Turning
// autostart off keeps the file and marks it hidden, so a desktop that copied
// it elsewhere sees the change too. A program started on a named program
// folder has an entry of its own that names that folder, one per folder.
class AutostartEntry {
  public:
    AutostartEntry(std::filesystem::path autostartFolder, std::filesystem::path program,
                   std::optional<std::filesystem::path> programFolder = std::nullopt);

    bool Write(bool enabled) const;
    std::filesystem::path Path() const;

    // The Exec value for a program path, quoted as desktop entries require.
    static std::string ExecValue(const std::string& program);

  private:
    std::filesystem::path folder_;
    std::filesystem::path program_;
    std::optional<std::filesystem::path> programFolder_;
};

// The two start-up preferences that the menus toggle; each toggle is written
// at once.
class StartupPreferences {
  public:
    StartupPreferences(const config::ProgramFolder& folder, AutostartEntry autostart);

    bool SetMinimiseOnStart(bool enabled) const;
    bool SetAutoStart(bool enabled) const;

  private:
    const config::ProgramFolder& folder_;
    AutostartEntry autostart_;
};

// The autostart folder of the desktop: $XDG_CONFIG_HOME/autostart, or
// ~/.config/autostart. The values are handed in, never read from the
// environment here.
std::filesystem::path AutostartFolder(const char* xdgConfigHome, const char* home);

}  // namespace quorvane::ui
