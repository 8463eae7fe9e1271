#include "ui/options/secure_folders.h"

#include <iterator>

#include "responses/path_facts.h"

namespace quorvane::ui {

namespace {

std::optional<std::filesystem::path> RealFolder(const config::ProgramFolder& program,
                                                std::string configured) {
    if (configured.empty()) {
        return std::nullopt;
    }
    while (configured.size() > 1 && configured.back() == '/') {
        configured.pop_back();
    }
    return responses::RealPathNow(program.Resolve(configured));
}

size_t Depth(const std::filesystem::path& path) {
    return static_cast<size_t>(std::distance(path.begin(), path.end()));
}

}  // namespace

std::vector<std::optional<std::string>> EnclosingSecureFolders(
    const std::vector<config::VirtualDirectory>& directories,
    const config::ProgramFolder& program) {
    std::vector<std::optional<std::filesystem::path>> real;
    for (const config::VirtualDirectory& directory : directories) {
        real.push_back(RealFolder(program, directory.folder));
    }
    std::vector<std::optional<std::string>> enclosing(directories.size());
    for (size_t inner = 0; inner < directories.size(); ++inner) {
        if (directories[inner].secure || !real[inner]) {
            continue;
        }
        size_t deepest = 0;
        for (size_t outer = 0; outer < directories.size(); ++outer) {
            if (outer == inner || !directories[outer].secure || !real[outer] ||
                !responses::IsInside(*real[inner], *real[outer])) {
                continue;
            }
            if (!enclosing[inner] || Depth(*real[outer]) > deepest) {
                enclosing[inner] = directories[outer].name;
                deepest = Depth(*real[outer]);
            }
        }
    }
    return enclosing;
}

}  // namespace quorvane::ui
