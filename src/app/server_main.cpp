// quorvane-server: the server without a window. It starts the listener at
// once, prints the log view's text as it grows, and stops on SIGINT or
// SIGTERM.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <string_view>

#include "app/program_path.h"
#include "server/engine_observer.h"
#include "server/server_control.h"

namespace {

class ConsoleObserver : public quorvane::server::EngineObserver {
  public:
    void OnLogReplaced(std::string_view text) override { Print(text); }
    void OnLogAppended(std::string_view text) override { Print(text); }
    void OnLoadCount(int) override {}
    void OnStarted(std::string_view) override {}
    void OnStopped() override {}
    void OnStartFailed(std::string_view) override {}

  private:
    void Print(std::string_view text) {
        std::lock_guard lock(mutex_);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    std::mutex mutex_;
};

}  // namespace

int main(int argc, char** argv) {
    // Block the stop signals in every thread; this thread takes them with
    // sigwait once the server runs.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const std::filesystem::path folder = quorvane::app::ProgramFolderPath(argc > 0 ? argv[0] : "");
    ConsoleObserver observer;
    quorvane::server::ServerControl control(quorvane::config::ProgramFolder(folder), observer, {});

    if (!control.Startup().settingsFound) {
        std::cerr << quorvane::server::kSettingsMissingMessage << std::endl;
    }
    if (!control.ToggleServer()) {
        control.Unload();
        return 1;
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
    control.StopListener();
    std::fputs("\n", stdout);
    control.Unload();
    return 0;
}
