#pragma once

#include <string_view>

namespace quorvane::responses {

// folder_page.css and folder_page.js as the build found them.
extern const std::string_view kFolderPageStyle;
extern const std::string_view kFolderPageScript;

}  // namespace quorvane::responses
