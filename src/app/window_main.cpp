// quorvane: the control window with its tray icon.
#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/folder_choice.h"
#include "app/program_path.h"
#include "ui/control/control_window.h"
#include "ui/options/options_dialog.h"

namespace {

std::vector<std::string_view> Arguments(int argc, char** argv) {
    return {argv + std::min(argc, 1), argv + argc};
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

int main(int argc, char** argv) {
    using quorvane::app::ProgramKind;
    // --help and --version answer before Qt looks for a display; Qt's own
    // options are still in the line here, so its other problems wait.
    const quorvane::app::CommandLine early =
        quorvane::app::ParseCommandLine(Arguments(argc, argv), ProgramKind::kWindow);
    if (early.help || early.version) {
        std::cout << (early.help ? quorvane::app::UsageText(ProgramKind::kWindow)
                                 : quorvane::app::VersionText(ProgramKind::kWindow));
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane2000"));
    QApplication::setDesktopFileName(QStringLiteral(QUORVANE_APP_ID));
    // Closing the window ends the program, even while the tray icon shows.
    QApplication::setQuitOnLastWindowClosed(true);

    const quorvane::app::CommandLine line =
        quorvane::app::ParseCommandLine(Arguments(argc, argv), ProgramKind::kWindow);
    if (!line.error.empty()) {
        std::cerr << "quorvane: " << line.error << "\n"
                  << quorvane::app::UsageText(ProgramKind::kWindow);
        return 2;
    }
    const std::filesystem::path program = quorvane::app::ExecutablePath(argv[0]);
    const quorvane::app::FolderChoice choice(
        {program.parent_path(), quorvane::app::InstalledSamplesFolder(program.parent_path()),
         line.folder, Environment("XDG_CONFIG_HOME"), Environment("HOME")});
    const quorvane::app::FolderChoice::Result folder = choice.Choose();
    if (!folder.problem.empty()) {
        std::cerr << "quorvane: " << folder.problem << std::endl;
        return 1;
    }

    quorvane::ui::QtMessageBoxes messages;
    quorvane::ui::QtDesktopServices desktop;
    quorvane::ui::ControlWindow window(
        {quorvane::config::ProgramFolder(folder.folder),
         program,
         quorvane::ui::AutostartFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")),
         messages,
         desktop,
         {}});
    quorvane::ui::QtFilePickers pickers;
    window.SetOptionsDialog([&](QWidget* parent) {
        quorvane::ui::OptionsDialog dialog(
            {window.Control().Folder(), messages, pickers,
             [&](const QString& folder) { window.ShowRootDirectory(folder); }},
            parent);
        dialog.exec();
    });
    window.Startup();
    if (line.minimized) {
        // As the "Minimise on Start" preference does: only the tray icon shows.
        window.Tray() != nullptr ? window.hide() : window.showMinimized();
    }
    if (const std::string notice = choice.Notice(folder); !notice.empty()) {
        window.Observer().OnLogAppended(notice + "\r\n");
    }
    return QApplication::exec();
}
