#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/list_records.h"
#include "config/program_folder.h"

namespace quorvane::ui {

// For each virtual directory that is not secure itself, the name of the
// deepest secure one whose folder holds its folder, where both lie now
// (links resolved): the server asks for a password there too. Nothing for a
// secure directory, one that lies in no secure folder, or one whose folder
// cannot be located.
std::vector<std::optional<std::string>> EnclosingSecureFolders(
    const std::vector<config::VirtualDirectory>& directories, const config::ProgramFolder& program);

}  // namespace quorvane::ui
