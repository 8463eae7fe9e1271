#include "export/export_writer.h"

#include <system_error>

#include "config/atomic_file.h"

namespace quorvane::exporting {

namespace fs = std::filesystem;

namespace {

std::string Refusal(const fs::path& folder, std::string_view why) {
    return "cannot export into " + folder.string() + ": " + std::string(why);
}

}  // namespace

WriteOutcome WriteExport(const fs::path& folder, const std::vector<ExportFile>& files, bool force) {
    WriteOutcome outcome;
    std::error_code error;
    if (fs::exists(folder, error) && !fs::is_directory(folder, error)) {
        outcome.problem = Refusal(folder, "it is not a folder");
        return outcome;
    }
    if (!force && fs::exists(folder, error) && !fs::is_empty(folder, error)) {
        outcome.problem = Refusal(folder, "it holds other files (--force writes over them)");
        outcome.folderInUse = true;
        return outcome;
    }
    for (const ExportFile& file : files) {
        const fs::path path = folder / file.name;
        fs::create_directories(path.parent_path(), error);
        if (error || !config::ReplaceFileContent(path, file.content, file.mode)) {
            outcome.problem = Refusal(folder, "writing " + file.name + " failed");
            return outcome;
        }
        // An existing file keeps its mode through the replacement; an export
        // states its own (a launcher runs, a password file stays private).
        fs::permissions(path, static_cast<fs::perms>(file.mode), error);
        outcome.written.push_back(path);
    }
    return outcome;
}

WriteOutcome ExportSite(const config::ProgramFolder& program, const fs::path& folder, bool force) {
    const fs::path target = fs::absolute(folder).lexically_normal();
    NginxExport exported = ExportNginx(program, target);
    if (!exported.problem.empty()) {
        return {{}, "cannot export: " + exported.problem};
    }
    return WriteExport(target, exported.files, force);
}

std::string DescribeOutcome(const WriteOutcome& outcome) {
    if (!outcome.problem.empty()) {
        return outcome.problem + "\n";
    }
    std::string text;
    for (const fs::path& file : outcome.written) {
        text += "Wrote " + file.string() + "\n";
    }
    if (!outcome.written.empty()) {
        const fs::path folder = outcome.written.front().parent_path();
        text += "Check it with: nginx -t -c " + (folder / "nginx.conf").string() + " -p " +
                folder.string() + "/\nREADME.txt there says what carried over and how to run it.\n";
    }
    return text;
}

}  // namespace quorvane::exporting
