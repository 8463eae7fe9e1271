#pragma once

#include <string>

#include "responses/folder_view.h"

namespace quorvane::responses {

// The view as JSON, for the page's script to show again after a change:
//   {"directory": "/docs/", "mayUpload": true, "mayChange": false,
//    "search": "text", "cut": false,          (when showing results)
//    "entries": [{"name", "href", "kind": "folder"|"file", "type", "size",
//                 "modified", "etag", "thumbnail", "path" and "within"
//                 (results only), "label", "sizeText", "modifiedText",
//                 "modifiedExact"}]}
// Texts are UTF-8 with ill-formed bytes as U+FFFD; "href" is the entry's
// URL relative to the folder, its bytes on disk percent-encoded; "type" is
// the icon's kind (see EntryTypeName); "modified" is ISO 8601 in UTC.
// "label", "within" and the "...Text" and "...Exact" fields are what the
// page shows (see ShownEntry), so the script decides nothing itself.
std::string FolderJson(const FolderView& view);

}  // namespace quorvane::responses
