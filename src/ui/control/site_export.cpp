#include "ui/control/site_export.h"

#include <QString>

#include "config/program_folder.h"
#include "export/export_writer.h"
#include "ui/control/desktop.h"
#include "ui/options/pickers.h"

namespace quorvane::ui {

namespace {

const QString kTitle = QStringLiteral("Export for nginx");

}  // namespace

void ExportForNginx(QWidget* parent, const config::ProgramFolder& program, FilePickers& pickers,
                    MessageBoxes& messages) {
    const std::optional<QString> folder =
        pickers.ChooseFolder(parent, QStringLiteral("Export the site for nginx into"), QString());
    if (!folder || folder->isEmpty()) {
        return;
    }
    const std::filesystem::path target(folder->toStdString());
    exporting::WriteOutcome outcome = exporting::ExportSite(program, target, false);
    if (outcome.folderInUse &&
        messages.Question(
            QStringLiteral("%1 already holds files. Write the export over them?").arg(*folder),
            kTitle)) {
        outcome = exporting::ExportSite(program, target, true);
    }
    const QString text = QString::fromStdString(exporting::DescribeOutcome(outcome));
    if (outcome.problem.empty()) {
        messages.Information(text, kTitle);
    } else if (!outcome.folderInUse) {
        messages.Warning(text, kTitle);
    }
}

}  // namespace quorvane::ui
