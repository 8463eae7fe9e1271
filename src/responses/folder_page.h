#pragma once

#include <string>

#include "responses/folder_view.h"

namespace quorvane::responses {

// The modern listing of a folder: one HTML5 page needing nothing from
// elsewhere, its style and script inline. Breadcrumbs, a filter of the
// rows, a search of the tree below (GET "q"), headers that sort without
// script, a row per entry (icon or thumbnail, name, size, date), selection
// and zip downloads, and, where the view allows, uploads, new folders,
// renaming and deleting through WebDAV requests; the README below. Every
// name is shown as UTF-8 text in <bdi> and linked by its bytes on disk.
std::string ModernPage(const FolderView& view);

// The Content-Security-Policy to send with every modern page: nothing from
// elsewhere, and of inline code only the page's own style and script, named
// by their SHA-256.
const std::string& ModernPageSecurityPolicy();

}  // namespace quorvane::responses
