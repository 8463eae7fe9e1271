#pragma once

#include <filesystem>

namespace quorvane::app {

// The folder of the running executable: every file the program reads or
// writes lives there.
std::filesystem::path ProgramFolderPath(const char* argv0);

}  // namespace quorvane::app
