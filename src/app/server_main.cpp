// quorvane-server: the server without a window. It starts the listener at
// once, says on its first line where it listens, prints the log view's text
// as it grows, and stops on SIGINT or SIGTERM. Exit status: 0 after a stop signal, 1 when the
// server cannot run, 2 for a command line it does not understand. Its link
// commands, --add-user and --export print their answer and exit: 0 when done, 1 when not.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/folder_choice.h"
#include "app/password_prompt.h"
#include "app/program_path.h"
#include "app/share_commands.h"
#include "app/shared_folder.h"
#include "app/user_password.h"
#include "config/program_folder.h"
#include "export/export_writer.h"
#include "server/descriptor_limit.h"
#include "server/engine_observer.h"
#include "server/host_identity.h"
#include "server/server_control.h"
#include "ui/control/host_addresses.h"

namespace {

// Holds the text back until the server has started (or failed to), so that
// the line saying where it listens comes first.
class ConsoleObserver : public quorvane::server::EngineObserver {
  public:
    void OnLogReplaced(std::string_view text) override { Print(text); }
    void OnLogAppended(std::string_view text) override { Print(text); }
    void OnLoadCount(int) override {}
    void OnStarted(std::string_view) override {}
    void OnStopped() override {}
    void OnStartFailed(std::string_view) override {}
    // Says where in the settings file the remedy lies.
    void OnNotice(const quorvane::server::Notice& notice) override {
        if (std::holds_alternative<quorvane::server::PasswordsInClear>(notice)) {
            Print(
                "Passwords cross the network unencrypted: a secure folder was asked for over "
                "plain HTTP from another computer. Set HttpsPort and RedirectToHttps=1 under "
                "[Server] in quorvane.ini to send visitors to HTTPS.\r\n");
            return;
        }
        EngineObserver::OnNotice(notice);
    }

    // Sends what is buffered on; called at least once a second.
    void Flush() {
        std::lock_guard lock(mutex_);
        std::fflush(stdout);
    }

    // Prints the first line, then whatever was held back, then the rest as it comes.
    void Release(std::string_view firstLine) {
        std::lock_guard lock(mutex_);
        held_ = std::string(firstLine) + held_;
        std::fwrite(held_.data(), 1, held_.size(), stdout);
        std::fflush(stdout);
        held_.clear();
        holding_ = false;
    }

  private:
    void Print(std::string_view text) {
        std::lock_guard lock(mutex_);
        if (holding_) {
            held_ += text;
            return;
        }
        std::fwrite(text.data(), 1, text.size(), stdout);
        // A person watching sees each line at once; a pipe or a file gets
        // them gathered, one write a second rather than one per request.
        if (interactive_) {
            std::fflush(stdout);
        }
    }
    std::mutex mutex_;
    const bool interactive_ = ::isatty(STDOUT_FILENO) != 0;
    bool holding_ = true;
    std::string held_;
};

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The exit status when the command line alone decides the run (help, the
// version, or words it does not understand).
std::optional<int> AnswerCommandLine(const quorvane::app::CommandLine& line) {
    using quorvane::app::ProgramKind;
    if (!line.error.empty()) {
        std::cerr << "quorvane-server: " << line.error << "\n"
                  << quorvane::app::UsageText(ProgramKind::kServer);
        return 2;
    }
    if (line.help) {
        std::cout << quorvane::app::UsageText(ProgramKind::kServer);
        return 0;
    }
    if (line.version) {
        std::cout << quorvane::app::VersionText(ProgramKind::kServer);
        return 0;
    }
    return std::nullopt;
}

// Blocks the stop signals in every thread (this one takes them with sigwait
// once the server runs), lets a write to a CGI child that has exited report
// EPIPE instead of ending the program, and allows as many descriptors as the
// system lets this user have.
sigset_t PrepareProcess() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    quorvane::server::RaiseDescriptorLimit();
    return stopSignals;
}

// Where a shared folder can be opened, once the server listens.
std::string SharingNotice(const quorvane::app::CommandLine& line,
                          const quorvane::server::ServerControl& control) {
    if (!line.share) {
        return {};
    }
    using Reach = quorvane::server::ListenChoice::Reach;
    const quorvane::server::ListenChoice reach = control.ListenReach();
    std::optional<std::string> lan;
    if (reach.reach == Reach::kNetwork) {
        lan = quorvane::ui::ChooseLanAddress(quorvane::server::ListHostAddresses());
    } else if (reach.reach == Reach::kAddress) {
        lan = reach.address;
    }
    const char* language = std::getenv("LANG");
    const bool blocks = ::isatty(STDOUT_FILENO) != 0 && language != nullptr &&
                        std::string_view(language).find("UTF-8") != std::string_view::npos;
    return quorvane::app::SharingNotice(*line.share, control.Port(), lan, blocks);
}

// --add-user: the password asked for, then stored as a hash.
int AddUser(const std::filesystem::path& folder, const std::string& name) {
    std::string problem = quorvane::app::UserNameProblem(name);
    std::optional<std::string> password;
    if (problem.empty()) {
        password = quorvane::app::ReadNewPassword(name, problem);
    }
    const std::filesystem::path users =
        quorvane::config::ProgramFolder(folder).ListFilePath(quorvane::config::kUsersList);
    bool replaced = false;
    if (password) {
        problem = quorvane::app::StoreUserPassword(users, name, *password, replaced);
    }
    if (!problem.empty()) {
        std::cerr << "quorvane-server: " << problem << std::endl;
        return 1;
    }
    std::cout << (replaced ? "Changed the password of " : "Added the user ") << name << " in "
              << users.string() << "\n";
    return 0;
}

int Serve(const std::filesystem::path& folder, const std::filesystem::path& executableFolder,
          const std::string& folderNotice, const quorvane::app::CommandLine& line,
          const sigset_t& stopSignals) {
    ConsoleObserver observer;
    if (!folderNotice.empty()) {
        observer.OnLogAppended(folderNotice + "\r\n");
    }
    quorvane::server::ServerControl control(
        quorvane::config::ProgramFolder(folder), observer,
        {.overrides = quorvane::app::OverridesOf(line),
         .thumbnailer = quorvane::app::ThumbnailerPath(executableFolder).value_or("")});
    if (!control.Startup().settingsFound) {
        std::cerr << quorvane::server::kSettingsMissingMessage << std::endl;
    }
    if (!control.ToggleServer()) {
        observer.Release("");
        control.Unload();
        return 1;
    }
    observer.Release("Listening on " + control.ListenSummary() + "\r\n" +
                     SharingNotice(line, control));
    const timespec second{.tv_sec = 1, .tv_nsec = 0};
    while (sigtimedwait(&stopSignals, nullptr, &second) < 0) {
        observer.Flush();  // a timeout (or an interruption): no stop yet
    }
    control.StopListener();
    std::fputs("\n", stdout);
    control.Unload();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + std::min(argc, 1), argv + argc);
    const quorvane::app::CommandLine line =
        quorvane::app::ParseCommandLine(arguments, quorvane::app::ProgramKind::kServer);
    if (const std::optional<int> status = AnswerCommandLine(line)) {
        return *status;
    }
    const std::filesystem::path executableFolder =
        quorvane::app::ExecutablePath(argc > 0 ? argv[0] : "").parent_path();
    const quorvane::app::FolderChoice choice(
        {executableFolder, quorvane::app::InstalledSamplesFolder(executableFolder), line.folder,
         Environment("XDG_CONFIG_HOME"), Environment("HOME")});
    const quorvane::app::FolderChoice::Result folder = choice.Choose();
    if (!folder.problem.empty()) {
        std::cerr << "quorvane-server: " << folder.problem << std::endl;
        return 1;
    }
    if (line.addUser) {
        return AddUser(folder.folder, *line.addUser);
    }
    if (line.exportTo) {
        const quorvane::exporting::WriteOutcome outcome = quorvane::exporting::ExportSite(
            quorvane::config::ProgramFolder(folder.folder), *line.exportTo, line.force);
        (outcome.problem.empty() ? std::cout : std::cerr)
            << quorvane::exporting::DescribeOutcome(outcome);
        return outcome.problem.empty() ? 0 : 1;
    }
    if (line.linkTo || line.listLinks || line.revokeLink) {
        return quorvane::app::RunLinkCommand(line, quorvane::config::ProgramFolder(folder.folder),
                                             std::chrono::system_clock::now(), std::cout,
                                             std::cerr);
    }
    const sigset_t stopSignals = PrepareProcess();
    if (line.share && !std::filesystem::is_directory(*line.share)) {
        std::cerr << "quorvane-server: " << line.share->string() << " is not a folder" << std::endl;
        return 2;
    }
    return Serve(folder.folder, executableFolder, choice.Notice(folder), line, stopSignals);
}
