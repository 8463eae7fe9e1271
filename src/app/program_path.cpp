#include "app/program_path.h"

#include <system_error>

namespace quorvane::app {

std::filesystem::path ProgramFolderPath(const char* argv0) {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        return self.parent_path();
    }
    return std::filesystem::absolute(argv0, error).parent_path();
}

}  // namespace quorvane::app
