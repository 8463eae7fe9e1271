#include "ui/control/preferences.h"

#include <system_error>

#include "config/atomic_file.h"
#include "config/settings_file.h"
#include "ui/control/instance_key.h"

namespace quorvane::ui {

AutostartEntry::AutostartEntry(std::filesystem::path autostartFolder, std::filesystem::path program,
                               std::optional<std::filesystem::path> programFolder)
    : folder_(std::move(autostartFolder)),
      program_(std::move(program)),
      programFolder_(std::move(programFolder)) {}

std::filesystem::path AutostartEntry::Path() const {
    if (!programFolder_) {
        return folder_ / "quorvane.desktop";
    }
    return folder_ / ("quorvane-" + FolderDigest(*programFolder_) + ".desktop");
}

std::string AutostartEntry::ExecValue(const std::string& program) {
    if (program.find_first_of(" \t\n\"'\\><~|&;$*?#()`") == std::string::npos) {
        return program;
    }
    // Inside quotes, " ` $ and \ take a backslash; the value is also a string
    // whose own backslashes are doubled, so each escape is written twice.
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '\\') {
            quoted += "\\\\\\\\";
        } else if (c == '"' || c == '`' || c == '$') {
            quoted += "\\\\";
            quoted += c;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

bool AutostartEntry::Write(bool enabled) const {
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    const std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Quorvane2000\n"
        "Comment=Starts the Quorvane2000 web server at logon\n"
        "Exec=" +
        ExecValue(program_.string()) +
        (programFolder_ ? " --folder " + ExecValue(programFolder_->string()) : "") +
        "\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=" +
        (enabled ? "true" : "false") + "\nHidden=" + (enabled ? "false" : "true") + "\n";
    return config::ReplaceFileContent(Path(), entry);
}

StartupPreferences::StartupPreferences(const config::ProgramFolder& folder,
                                       AutostartEntry autostart)
    : folder_(folder), autostart_(std::move(autostart)) {}

bool StartupPreferences::SetMinimiseOnStart(bool enabled) const {
    return config::WriteSetting(folder_.SettingsPath(), "StartUp", "Minimise",
                                enabled ? "True" : "False");
}

bool StartupPreferences::SetAutoStart(bool enabled) const {
    const bool setting = config::WriteSetting(folder_.SettingsPath(), "StartUp", "AutoStart",
                                              enabled ? "True" : "False");
    return autostart_.Write(enabled) && setting;
}

std::filesystem::path AutostartFolder(const char* xdgConfigHome, const char* home) {
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        return std::filesystem::path(xdgConfigHome) / "autostart";
    }
    return std::filesystem::path(home != nullptr ? home : "/") / ".config" / "autostart";
}

}  // namespace quorvane::ui
