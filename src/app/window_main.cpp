// quorvane: the control window with its tray icon.
#include <QApplication>
#include <cstdlib>

#include "app/program_path.h"
#include "ui/control/control_window.h"
#include "ui/options/options_dialog.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane2000"));
    // Closing the window ends the program, even while the tray icon shows.
    QApplication::setQuitOnLastWindowClosed(true);

    const std::filesystem::path folder = quorvane::app::ProgramFolderPath(argv[0]);
    quorvane::ui::QtMessageBoxes messages;
    quorvane::ui::QtDesktopServices desktop;
    quorvane::ui::ControlWindow window(
        {quorvane::config::ProgramFolder(folder),
         folder / "quorvane",
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
    return QApplication::exec();
}
