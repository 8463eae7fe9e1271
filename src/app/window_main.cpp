// quorvane: the control window with its tray icon.
#include <unistd.h>

#include <QApplication>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "app/command_line.h"
#include "app/folder_choice.h"
#include "app/program_path.h"
#include "server/descriptor_limit.h"
#include "ui/control/control_window.h"
#include "ui/control/instance_key.h"
#include "ui/control/instance_trust.h"
#include "ui/control/single_instance.h"
#include "ui/options/options_dialog.h"

namespace {

std::vector<std::string_view> Arguments(int argc, char** argv) {
    return {argv + std::min(argc, 1), argv + argc};
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

void PrepareApplication() {
    QApplication::setApplicationName(QStringLiteral("Quorvane2000"));
    QApplication::setDesktopFileName(QStringLiteral(QUORVANE_APP_ID));
    // The window decides when the program ends: closing it while it serves
    // only hides it to the tray, and a message box shown meanwhile must not
    // end the program when it closes.
    QApplication::setQuitOnLastWindowClosed(false);
}

// The window and its options dialog over the chosen folder, until the person
// quits.
int RunWindow(const std::filesystem::path& folder, const std::filesystem::path& program,
              quorvane::ui::SingleInstance& instance, const quorvane::app::CommandLine& line,
              const std::string& notice) {
    quorvane::ui::QtMessageBoxes messages;
    quorvane::ui::QtDesktopServices desktop;
    quorvane::ui::ControlWindow window(
        {quorvane::config::ProgramFolder(folder),
         program,
         quorvane::ui::AutostartFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")),
         messages,
         desktop,
         {.thumbnailer = quorvane::app::ThumbnailerPath(program.parent_path()).value_or("")},
         line.folder ? std::optional<std::filesystem::path>(folder) : std::nullopt});
    QObject::connect(&instance, &quorvane::ui::SingleInstance::Activated, &window,
                     &quorvane::ui::ControlWindow::RestoreWindow);
    quorvane::ui::QtFilePickers pickers;
    window.SetSharing(pickers, quorvane::ui::AskNewUserDialog);
    QObject::connect(&instance, &quorvane::ui::SingleInstance::ShareAsked, &window,
                     [&window](const QString& shared) { window.OpenShareDialog(shared); });
    window.SetOptionsDialog([&](QWidget* parent) {
        quorvane::ui::OptionsDialog dialog(
            {.folder = window.Control().Folder(),
             .messages = messages,
             .pickers = pickers,
             .rootChanged = [&](const QString& root) { window.ShowRootDirectory(root); },
             .hostAddresses = desktop.HostAddresses(),
             .together =
                 [&](const std::function<void()>& writes) {
                     window.Control().ApplyTogether(writes);
                 }},
            parent);
        return dialog.exec() == QDialog::Accepted;
    });
    window.Startup();
    if (line.minimized) {
        // As the "Minimise on Start" preference does: only the tray icon shows.
        window.Tray() != nullptr ? window.hide() : window.showMinimized();
    }
    if (!notice.empty()) {
        window.Observer().OnLogAppended(notice + "\r\n");
    }
    if (line.shareDialog) {
        window.OpenShareDialog(QString::fromStdString(line.shareDialog->string()));
    }
    return QApplication::exec();
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
    // Writing to a CGI child that has exited reports EPIPE instead of ending
    // the program.
    std::signal(SIGPIPE, SIG_IGN);
    quorvane::server::RaiseDescriptorLimit();
    QApplication application(argc, argv);
    PrepareApplication();

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
    // One program per folder: a second start brings the running window
    // forward instead of serving the same site and log twice.
    std::error_code noTempFolder;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(noTempFolder);
    quorvane::ui::SingleInstance instance(
        quorvane::ui::InstanceFolder(Environment("XDG_RUNTIME_DIR"), temp, ::getuid()),
        quorvane::ui::InstanceKey(folder.folder, ::getuid()), ::getuid());
    // A folder to share is named as the running window sees it, whatever its
    // working folder.
    std::error_code unresolved;
    const QString shared =
        line.shareDialog && !line.shareDialog->empty()
            ? QString::fromStdString(
                  std::filesystem::absolute(*line.shareDialog, unresolved).string())
            : QString();
    if (!instance.Claim(line.shareDialog ? std::optional<QString>(shared) : std::nullopt)) {
        return 0;
    }
    quorvane::app::CommandLine resolved = line;
    if (line.shareDialog) {
        resolved.shareDialog = std::filesystem::path(shared.toStdString());
    }
    return RunWindow(folder.folder, program, instance, resolved, choice.Notice(folder));
}
