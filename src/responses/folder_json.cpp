#include "responses/folder_json.h"

#include <nlohmann/json.hpp>

#include "config/text.h"
#include "responses/shown_entry.h"

namespace quorvane::responses {

std::string FolderJson(const FolderView& view) {
    using Json = nlohmann::ordered_json;
    Json entries = Json::array();
    for (const FolderEntry& entry : view.entries) {
        const ShownEntry shown = ShowEntry(entry, view.now);
        Json item = {{"name", shown.name},
                     {"href", shown.href},
                     {"kind", entry.folder ? "folder" : "file"},
                     {"type", EntryTypeName(shown.type)},
                     {"size", entry.size},
                     {"modified", shown.utcDate},
                     {"etag", config::ValidUtf8(entry.etag)},
                     {"thumbnail", entry.thumbnail}};
        if (!entry.path.empty()) {
            item["path"] = shown.path;
            item["within"] = shown.within;
        }
        item["label"] = shown.label;
        item["sizeText"] = shown.size;
        item["modifiedText"] = shown.date;
        item["modifiedExact"] = shown.exactDate;
        entries.push_back(std::move(item));
    }
    Json json = {{"directory", config::ValidUtf8(view.directory)},
                 {"mayUpload", view.mayUpload},
                 {"mayChange", view.mayChange}};
    if (view.search) {
        json["search"] = config::ValidUtf8(*view.search);
        json["cut"] = view.cut;
    }
    json["entries"] = std::move(entries);
    // Every text was made valid above; the handler stays as a second guard.
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace quorvane::responses
