#pragma once

#include <vector>

#include "responses/folder_view.h"

namespace quorvane::responses {

// Folders before files, whatever the order; within each, by the key. Names
// compare ignoring ASCII letter case, then by their bytes, so equal-looking
// names keep one order every time. Equal sizes or times go by name,
// ascending; descending reverses the key alone.
void SortEntries(std::vector<FolderEntry>& entries, SortKey key, bool descending);

}  // namespace quorvane::responses
