#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "export/nginx_export.h"

namespace quorvane::exporting {

struct WriteOutcome {
    std::vector<std::filesystem::path> written;
    std::string problem;       // empty when every file was written
    bool folderInUse = false;  // refused only because the folder holds other files
};

// Writes the files into `folder` (made when missing), each atomically with
// its own mode. A folder that already holds anything is refused unless
// `force`, so an export never mixes with files it did not make.
WriteOutcome WriteExport(const std::filesystem::path& folder, const std::vector<ExportFile>& files,
                         bool force);

// The site of the program folder exported for nginx into `folder` (made
// absolute): what was written, or why nothing was.
WriteOutcome ExportSite(const config::ProgramFolder& program, const std::filesystem::path& folder,
                        bool force);

// The outcome as told to a person: each file written, or the problem.
std::string DescribeOutcome(const WriteOutcome& outcome);

}  // namespace quorvane::exporting
