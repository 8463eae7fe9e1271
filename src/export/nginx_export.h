#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/program_folder.h"

namespace quorvane::exporting {

// One file of an export, named relative to the export folder.
struct ExportFile {
    std::string name;
    std::string content;
    mode_t mode = 0644;
};

// What an export of the site is: its files, or why there is none.
struct NginxExport {
    std::vector<ExportFile> files;
    std::string problem;  // empty when the files hold the whole site
};

// The site of a program folder, read as the server reads it, as an nginx
// configuration that runs from `target` (absolute) as it stands: nginx.conf
// (the whole program), quorvane.conf (the site's server block, for an
// existing nginx too), mime.types, htpasswd files, the error pages, a Perl
// launcher for fcgiwrap where scripts run, and README.txt naming what
// carried over and what could not.
NginxExport ExportNginx(const config::ProgramFolder& program, const std::filesystem::path& target);

}  // namespace quorvane::exporting
