#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "config/program_folder.h"

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

  private:
    std::filesystem::path path_;
};

}  // namespace quorvane::testing
