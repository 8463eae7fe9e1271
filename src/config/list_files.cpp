#include "config/list_files.h"

#include <system_error>

#include "config/setting_keys.h"
#include "config/text.h"

namespace quorvane::config {

std::vector<Record> BuiltInDefaultDocuments() {
    return {{"index.htm"}, {"index.html"}, {"default.htm"}, {"default.html"}};
}

std::vector<Record> BuiltInMimeTypes() {
    return {{"htm,text/html"}, {"html,text/html"}, {"jpg,image/jpeg"},  {"jpeg,image/jpeg"},
            {"gif,image/gif"}, {"txt,text/plain"}, {"text,text/plain"}, {"wav,audio,x-wav"}};
}

std::vector<Record> BuiltInDirectories() {
    return {{"/", "www", "No", "No", "No"}};
}

bool CreateDefaultDocumentList(const ProgramFolder& folder) {
    return WriteRecords(folder.ListFilePath(kDefaultList), BuiltInDefaultDocuments());
}

bool CreateMimeList(const ProgramFolder& folder) {
    return WriteRecords(folder.ListFilePath(kMimeList), BuiltInMimeTypes());
}

bool CreateDirsList(const ProgramFolder& folder) {
    return WriteRecords(folder.ListFilePath(kDirsList), BuiltInDirectories());
}

void RepairListFiles(const ProgramFolder& folder, const Settings& settings) {
    struct Rule {
        const SettingKey* key;
        std::string_view file;
        bool (*create)(const ProgramFolder&);
    };
    static constexpr Rule kRules[] = {
        {&setting::kRebuildDefault, kDefaultList, CreateDefaultDocumentList},
        {&setting::kRebuildMime, kMimeList, CreateMimeList},
        {&setting::kRebuildDirs, kDirsList, CreateDirsList}};
    for (const Rule& rule : kRules) {
        std::error_code error;
        if (IsOn(settings, *rule.key) &&
            !std::filesystem::exists(folder.ListFilePath(rule.file), error)) {
            rule.create(folder);
        }
    }
}

}  // namespace quorvane::config
