#pragma once

#include <filesystem>

namespace quorvane::app {

// The running executable, links resolved.
std::filesystem::path ExecutablePath(const char* argv0);

// Where an installation keeps the sample configuration, found from the
// executable's folder so that an unpacked or relocated tree works too.
std::filesystem::path InstalledSamplesFolder(const std::filesystem::path& executableFolder);

}  // namespace quorvane::app
