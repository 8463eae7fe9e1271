#pragma once

#include <filesystem>
#include <string>

#include "export/server_block.h"

namespace quorvane::exporting {

// README.txt of an export: what carried over, what nginx does differently or
// not at all (each named), and the commands that check and run it.
std::string ExportReadme(const SiteFacts& facts, const std::filesystem::path& target);

}  // namespace quorvane::exporting
