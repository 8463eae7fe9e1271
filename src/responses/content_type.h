#pragma once

#include <vector>

#include <optional>
#include <string>
#include <string_view>
#include "config/list_records.h"

namespace quorvane::responses {

// The content type of a document by mime.lst: the extension is the text after
// the first "." of the file name (so "page.htm" gives htm); when no record has
// that, the text after the last "." is tried, so "jquery.min.js" finds js.
// Extensions compare without regard to letter case; nothing when no record
// matches or the list is missing.
std::optional<std::string> LookUpContentType(std::string_view documentName,
                                             const std::vector<config::MediaType>& mimeTypes);

}  // namespace quorvane::responses
