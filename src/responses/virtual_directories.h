#pragma once

#include <vector>

#include <optional>
#include <string>
#include "config/list_file.h"

namespace quorvane::responses {

// One record of dirs.lst.
struct VirtualDirectory {
    std::string name;
    std::string folder;
    std::string secure;
    std::string script;
    std::string exe;
};

// Appends "/" when the directory does not end with one; an empty one becomes "/".
void NormaliseDirectory(std::string& directory);

// Normalises the directory in place, then returns the first record whose name
// equals it exactly (letter case significant; no prefix match), or nothing
// when no record matches or the list is missing.
std::optional<VirtualDirectory> FindVirtualDirectory(const std::vector<config::Record>& dirs,
                                                     std::string& requestDirectory);

}  // namespace quorvane::responses
