#pragma once

#include <string_view>

#include "config/list_file.h"
#include "config/program_folder.h"
#include "config/settings_file.h"

namespace quorvane::config {

// The built-in contents of the three lists the program can rebuild.
std::vector<Record> BuiltInDefaultDocuments();
std::vector<Record> BuiltInMimeTypes();
std::vector<Record> BuiltInDirectories();

bool CreateDefaultDocumentList(const ProgramFolder& folder);
bool CreateMimeList(const ProgramFolder& folder);
bool CreateDirsList(const ProgramFolder& folder);

// The start-up rule: each of the three lists is written with its built-in
// contents when its Fault flag is 1 and the file is missing. A present file
// is never touched, however empty.
void RepairListFiles(const ProgramFolder& folder, const Settings& settings);

// The user list holds passwords, so a new one is readable by its owner only.
inline constexpr mode_t kUsersListMode = kPrivateFileMode;

}  // namespace quorvane::config
