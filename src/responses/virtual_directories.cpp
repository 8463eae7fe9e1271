#include "responses/virtual_directories.h"

#include "config/list_file.h"

namespace quorvane::responses {

void NormaliseDirectory(std::string& directory) {
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
}

std::optional<VirtualDirectory> FindVirtualDirectory(const std::vector<config::Record>& dirs,
                                                     std::string& requestDirectory) {
    NormaliseDirectory(requestDirectory);
    for (const config::Record& record : dirs) {
        if (record.size() == 5 && record[0] == requestDirectory) {
            return VirtualDirectory{record[0], record[1], record[2], record[3], record[4]};
        }
    }
    return std::nullopt;
}

}  // namespace quorvane::responses
