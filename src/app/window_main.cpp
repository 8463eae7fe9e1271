// quorvane: the control window with its tray icon.
#include <unistd.h>

#include <QApplication>
#include <cstdlib>

#include "app/program_path.h"
#include "ui/control/control_window.h"
#include "ui/control/instance_key.h"
#include "ui/control/single_instance.h"
#include "ui/options/options_dialog.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane2000"));
    // The window decides when the program ends: closing it while it serves
    // only hides it to the tray, and a message box shown meanwhile must not
    // end the program when it closes.
    QApplication::setQuitOnLastWindowClosed(false);

    const std::filesystem::path folder = quorvane::app::ProgramFolderPath(argv[0]);
    // One program per folder: a second start brings the running window
    // forward instead of serving the same site and log twice.
    quorvane::ui::SingleInstance instance(
        QString::fromStdString(quorvane::ui::InstanceKey(folder, ::getuid())));
    if (!instance.Claim()) {
        return 0;
    }

    quorvane::ui::QtMessageBoxes messages;
    quorvane::ui::QtDesktopServices desktop;
    quorvane::ui::ControlWindow window(
        {quorvane::config::ProgramFolder(folder),
         folder / "quorvane",
         quorvane::ui::AutostartFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")),
         messages,
         desktop,
         {}});
    QObject::connect(&instance, &quorvane::ui::SingleInstance::Activated, &window,
                     &quorvane::ui::ControlWindow::RestoreWindow);
    quorvane::ui::QtFilePickers pickers;
    window.SetOptionsDialog([&](QWidget* parent) {
        quorvane::ui::OptionsDialog dialog(
            {.folder = window.Control().Folder(),
             .messages = messages,
             .pickers = pickers,
             .rootChanged = [&](const QString& folder) { window.ShowRootDirectory(folder); },
             .hostAddresses = desktop.HostAddresses()},
            parent);
        return dialog.exec() == QDialog::Accepted;
    });
    window.Startup();
    return QApplication::exec();
}
