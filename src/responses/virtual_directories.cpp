#include "responses/virtual_directories.h"

#include "config/list_file.h"

namespace quorvane::responses {

void NormaliseDirectory(std::string& directory) {
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
}

std::optional<VirtualDirectory> FindVirtualDirectory(const std::filesystem::path& dirsList,
                                                     std::string& requestDirectory) {
    NormaliseDirectory(requestDirectory);
    for (config::Record& record : config::ReadRecords(dirsList, 5)) {
        if (record[0] == requestDirectory) {
            return VirtualDirectory{std::move(record[0]), std::move(record[1]),
                                    std::move(record[2]), std::move(record[3]),
                                    std::move(record[4])};
        }
    }
    return std::nullopt;
}

}  // namespace quorvane::responses
