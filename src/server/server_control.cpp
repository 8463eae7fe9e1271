#include "server/server_control.h"

#include <charconv>

#include "config/list_files.h"
#include "config/text.h"
#include "server/engine_observer.h"
#include "server/host_identity.h"

namespace quorvane::server {

std::string_view LoggingStatusText(LogPolicy policy) {
    switch (policy) {
        case LogPolicy::kRefreshOnRun:
            return "Log Refreshed On Every Run";
        case LogPolicy::kRefreshOnStop:
            return "Log Refreshed On Every Stop/Start";
        case LogPolicy::kUserControlled:
            return "Log Refreshed By User";
    }
    return "Log Refreshed By User";
}

std::optional<uint16_t> ConfiguredPort(const config::Settings& settings) {
    const std::string text{config::TrimBlanks(settings.Read("Server", "Port", "80"))};
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

ServerControl::ServerControl(config::ProgramFolder folder, EngineObserver& observer,
                             Options options)
    : folder_(std::move(folder)),
      observer_(observer),
      options_(std::move(options)),
      handler_(folder_, DiscoverHostIdentity()),
      accessLog_(folder_.LogPath(),
                 [&observer](std::string_view problem) { observer.OnLogAppended(problem); }),
      engine_(handler_, accessLog_, observer) {}

ServerControl::~ServerControl() {
    Unload();
}

StartupReport ServerControl::Startup() {
    const config::Settings settings = config::Settings::Load(folder_.SettingsPath());
    StartupReport report;
    report.minimise = config::IsTruthWord(settings.Read("StartUp", "Minimise", "False"));
    report.settingsFound = settings.FileFound();
    if (!report.settingsFound) {
        return report;
    }
    config::RepairListFiles(folder_, settings);

    if (config::IsTruthWord(settings.Read("Logging", "RefreshOnRun", "True"))) {
        logPolicy_ = LogPolicy::kRefreshOnRun;
        accessLog_.OpenEmpty();
    } else if (config::IsTruthWord(settings.Read("Logging", "RefreshOnStop", "False"))) {
        logPolicy_ = LogPolicy::kRefreshOnStop;  // opened when the toggle starts the server
    } else {
        logPolicy_ = LogPolicy::kUserControlled;
        accessLog_.OpenForAppend();
    }
    report.logPolicy = logPolicy_;
    report.rootDirectory = settings.Read("HomePage", "RootDirectory", "www");
    report.autoStart = config::IsTruthWord(settings.Read("StartUp", "AutoStart", "False"));
    return report;
}

bool ServerControl::ToggleServer() {
    if (toggledOn_) {
        toggledOn_ = false;
        StopListener();
        return false;
    }
    toggledOn_ = true;
    const bool started = StartListener();
    if (logPolicy_ == LogPolicy::kRefreshOnStop) {
        accessLog_.OpenEmpty();
    }
    if (!started) {
        toggledOn_ = false;
    }
    return started;
}

bool ServerControl::StartListener() {
    std::optional<uint16_t> port = options_.portOverride;
    if (!port) {
        const config::Settings settings = config::Settings::Load(folder_.SettingsPath());
        port = ConfiguredPort(settings);
        if (!port) {
            const std::string configured = settings.Read("Server", "Port", "80");
            const std::string reason = "not a port number from 1 to 65535";
            observer_.OnLogAppended("Quorvane could not listen on port " + configured + ": " +
                                    reason + "\r\n");
            observer_.OnStartFailed(reason);
            return false;
        }
    }
    return engine_.StartListener({options_.listenAddress, *port});
}

void ServerControl::StopListener() {
    engine_.StopListener();
}

void ServerControl::RefreshLog() {
    accessLog_.OpenEmpty();
}

void ServerControl::Unload() {
    engine_.Close();
    accessLog_.Close();
}

}  // namespace quorvane::server
