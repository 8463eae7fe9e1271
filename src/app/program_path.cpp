#include "app/program_path.h"

#include <unistd.h>

#include <system_error>

namespace quorvane::app {

std::filesystem::path ExecutablePath(const char* argv0) {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        return self;
    }
    return std::filesystem::absolute(argv0, error);
}

std::filesystem::path InstalledSamplesFolder(const std::filesystem::path& executableFolder) {
    return (executableFolder / QUORVANE_SAMPLES_FROM_BINDIR).lexically_normal();
}

std::optional<std::filesystem::path> ThumbnailerPath(
    const std::filesystem::path& executableFolder) {
    constexpr const char* kName = "quorvane-thumbnailer";
    for (const std::filesystem::path& candidate :
         {executableFolder / kName,
          (executableFolder / QUORVANE_THUMBNAILER_FROM_BINDIR / kName).lexically_normal()}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace quorvane::app
