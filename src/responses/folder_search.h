#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "responses/folder_walk.h"

namespace quorvane::responses {

struct FolderSearch {
    std::vector<WalkEntry> found;  // in the walk's order
    bool walkCut = false;          // a bound of the walk stopped it
    bool resultsCut = false;       // more matched than were wanted
};

// The entries whose own name holds `query`, letters compared without case
// (ASCII); at most `most` of them. An empty query matches every name.
FolderSearch SearchFolder(FolderWalk& walk, std::string_view query, size_t most);

}  // namespace quorvane::responses
