#pragma once

#include <filesystem>
#include <optional>

namespace quorvane::app {

// The running executable, links resolved.
std::filesystem::path ExecutablePath(const char* argv0);

// Where an installation keeps the sample configuration, found from the
// executable's folder so that an unpacked or relocated tree works too.
std::filesystem::path InstalledSamplesFolder(const std::filesystem::path& executableFolder);

// The thumbnail decoder (quorvane-thumbnailer): beside the executable in a
// build tree or portable copy, else where an installation keeps it; nothing
// when neither holds one that can run.
std::optional<std::filesystem::path> ThumbnailerPath(const std::filesystem::path& executableFolder);

}  // namespace quorvane::app
