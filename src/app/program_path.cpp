#include "app/program_path.h"

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

}  // namespace quorvane::app
