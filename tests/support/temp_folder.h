#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "config/list_records.h"
#include "config/program_folder.h"
#include "config/settings_file.h"

namespace quorvane::testing {

// A fresh program folder under the system's temporary folder, removed again
// when the test ends.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    config::ProgramFolder Program() const { return config::ProgramFolder(path_); }

    // Writes a file (creating its folders); returns its path.
    std::filesystem::path Write(std::string_view relative, std::string_view content) const;
    std::string Read(std::string_view relative) const;
    // A script of the interpreter, with the body after its first line, that anyone may run.
    std::filesystem::path WriteScript(std::string_view relative, std::string_view body,
                                      std::string_view interpreter = "/bin/sh") const;
    // The settings file holding exactly these keys, and the list files holding
    // exactly these records, in the form the program writes them.
    std::filesystem::path WriteSettings(std::initializer_list<config::SettingWrite> keys) const;
    std::filesystem::path WriteDirs(const std::vector<config::VirtualDirectory>& dirs) const;
    std::filesystem::path WriteUsers(const std::vector<config::UserAccount>& users) const;
    std::filesystem::path WriteAddresses(std::string_view list,
                                         const std::vector<std::string>& addresses) const;
    // users.lst as it reads now, one "name:password" a record, a hash that
    // verifies one of `typed` shown as "#" and that one.
    std::string Users(std::initializer_list<std::string_view> typed = {}) const;
    // The names in the folder itself that begin with the prefix.
    std::vector<std::string> NamesStartingWith(std::string_view prefix) const;

  private:
    std::filesystem::path path_;
};

// The permission bits of a file; none when it is not there.
unsigned ModeOf(const std::filesystem::path& file);

}  // namespace quorvane::testing
