#include "server/server_control.h"

#include <algorithm>

#include <asio/ip/address.hpp>
#include <charconv>

#include "config/list_files.h"
#include "config/setting_keys.h"
#include "config/text.h"
#include "server/engine_observer.h"
#include "server/host_identity.h"
#include "server/https_setup.h"
#include "server/listen_plan.h"

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
    const std::optional<long> port = config::NumberIn(
        config::setting::kPort, config::ServerValue(settings, config::setting::kPort));
    if (!port) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(*port);
}

ServerControl::ServerControl(config::ProgramFolder folder, EngineObserver& observer,
                             Options options)
    : folder_(std::move(folder)),
      observer_(observer),
      options_(std::move(options)),
      handler_(folder_, DiscoverHostIdentity(), options_.overrides),
      accessLog_(folder_.LogPath(),
                 [&observer](std::string_view problem) { observer.OnLogAppended(problem); }),
      engine_(handler_, accessLog_, relay_),
      announcer_([&observer](std::string_view line) { observer.OnLogAppended(line); }) {
    engine_.UseThumbnailer(options_.thumbnailer);
}

void ServerControl::Relay::OnStartFailed(std::string_view reason) {
    if (holdFailures) {
        heldFailure = std::string(reason);
        return;
    }
    to_.OnStartFailed(reason);
}

ServerControl::~ServerControl() {
    Unload();
}

StartupReport ServerControl::Startup() {
    using namespace config::setting;
    const config::Settings settings = CurrentSettings();
    StartupReport report;
    report.minimise = config::IsOn(settings, kMinimise);
    report.settingsFound = settings.FileFound();
    if (!report.settingsFound) {
        return report;
    }
    config::RepairListFiles(folder_, settings);

    if (config::IsOn(settings, kRefreshOnRun)) {
        logPolicy_ = LogPolicy::kRefreshOnRun;
        accessLog_.OpenEmpty();
    } else if (config::IsOn(settings, kRefreshOnStop)) {
        logPolicy_ = LogPolicy::kRefreshOnStop;  // opened when the toggle starts the server
    } else {
        logPolicy_ = LogPolicy::kUserControlled;
        accessLog_.OpenForAppend();
    }
    report.logPolicy = logPolicy_;
    report.rootDirectory = config::ServerValue(settings, kRootDirectory);
    report.autoStart = config::IsOn(settings, kAutoStart);
    return report;
}

bool ServerControl::ToggleServer() {
    // The start and stop buttons of the log view start and stop the listener
    // too, so the toggle goes by what runs.
    if (IsListening()) {
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
    const config::Settings settings = CurrentSettings();
    accessLog_.SetSizeLimit(
        static_cast<uint64_t>(config::NumberValue(settings, config::setting::kLogLimitMiB)) << 20);
    const std::optional<uint16_t> port = WantedPort();
    if (!port) {
        lastPortTried_ = config::ServerValue(settings, config::setting::kPort);
        return StartFailed("not a port number from 1 to 65535");
    }
    lastPortTried_ = std::to_string(*port);
    Listening listening{.port = *port};
    if (!options_.listenAddress.empty()) {
        listening.addresses = {options_.listenAddress};
    } else {
        std::string problem;
        listening.addresses = BindAddresses(ReadListenChoice(settings), problem);
        if (listening.addresses.empty()) {
            return StartFailed(problem);
        }
    }
    HttpsSetup https;
    if (!PlanHttps(settings, listening, https)) {
        return StartFailed(https.problem);
    }
    if (!engine_.StartListener(listening)) {
        lastPortTried_ = std::to_string(engine_.FailedPort());
        return false;
    }
    listeningAs_ = ListeningSettings(settings);
    listening_ = listening;
    fingerprint_ = https.fingerprint;
    if (https.created) {
        observer_.OnLogAppended(
            "Made a self-signed certificate for HTTPS: " + https.certificateFile.string() +
            ". Browsers warn about it until it is accepted; before accepting, compare the "
            "fingerprint above with the one the browser shows.\r\n");
    }
    FollowAnnouncement();
    return true;
}

bool ServerControl::PlanHttps(const config::Settings& settings, Listening& listening,
                              HttpsSetup& https) {
    const std::optional<uint16_t> port = ConfiguredHttpsPort(settings);
    if (!port) {
        lastPortTried_ = config::ServerValue(settings, config::setting::kHttpsPort);
        https.problem = "not an HTTPS port number from 0 (off) to 65535";
        return false;
    }
    if (*port == 0) {
        return true;
    }
    lastPortTried_ = std::to_string(*port);
    std::vector<std::string> names = {Host().hostName, "localhost"};
    if (Host().hostName.find('.') == std::string::npos) {
        names.push_back(Host().hostName + ".local");  // as phones find it on the local network
    }
    https = PrepareHttps(settings, folder_, names, ListHostAddresses(),
                         std::chrono::system_clock::now());
    if (!https.context) {
        return false;
    }
    listening.https = HttpsListening{options_.httpsPortOverride.value_or(*port), https.context,
                                     https.fingerprint};
    return true;
}

bool ServerControl::StartFailed(const std::string& reason) {
    relay_.OnLogAppended("Quorvane could not listen on port " + lastPortTried_ + ": " + reason +
                         "\r\n");
    relay_.OnStartFailed(reason);
    return false;
}

std::string ServerControl::ListeningSettings(const config::Settings& settings) const {
    using namespace config::setting;
    const std::optional<uint16_t> port =
        options_.portOverride ? options_.portOverride : ConfiguredPort(settings);
    std::string text = (port ? std::to_string(*port) : "-") + "\n" +
                       (options_.listenAddress.empty() ? ListenValue(ReadListenChoice(settings))
                                                       : options_.listenAddress);
    for (const config::SettingKey* key : {&kHttpsPort, &kCertificateFile, &kKeyFile}) {
        text += "\n" + config::ServerValue(settings, *key);
    }
    return text;
}

std::optional<uint16_t> ServerControl::WantedPort() const {
    if (options_.portOverride) {
        return options_.portOverride;
    }
    return ConfiguredPort(CurrentSettings());
}

bool ServerControl::ListensLocallyOnly() const {
    std::vector<asio::ip::address> addresses;
    if (IsListening()) {
        for (const asio::ip::tcp::endpoint& endpoint : engine_.Endpoints()) {
            addresses.push_back(endpoint.address());
        }
        return AllLoopback(addresses);
    }
    std::string wanted = options_.listenAddress;
    if (wanted.empty()) {
        const ListenChoice choice = ReadListenChoice(CurrentSettings());
        if (choice.reach != ListenChoice::Reach::kAddress) {
            return choice.reach == ListenChoice::Reach::kLocal;
        }
        wanted = choice.address;
    }
    std::error_code error;
    addresses.push_back(asio::ip::make_address(wanted, error));
    return !error && AllLoopback(addresses);
}

std::string ServerControl::ListenSummary() const {
    if (IsListening()) {
        return DescribeListeners(engine_.Endpoints(), engine_.HttpsEndpoints());
    }
    if (!options_.listenAddress.empty()) {
        return ListenChoiceText({ListenChoice::Reach::kAddress, options_.listenAddress});
    }
    return ListenChoiceText(ReadListenChoice(CurrentSettings()));
}

ListenChoice ServerControl::ListenReach() const {
    return ReadListenChoice(CurrentSettings());
}

void ServerControl::FollowAnnouncement() {
    SiteAnnouncement wanted;
    if (IsListening()) {
        wanted = PlanAnnouncement(CurrentSettings(),
                                  options_.overrides.directories.value_or(config::ReadDirectories(
                                      folder_.ListFilePath(config::kDirsList))),
                                  Host().hostName, {Port(), HttpsPort(), ListensLocallyOnly()});
    }
    if (wanted != announced_) {
        announced_ = wanted;
        announcer_.Announce(announced_);
    }
}

ServerControl::ListenChange ServerControl::FollowListenSettings(std::string* problem) {
    const ListenChange change = MoveListener(problem);
    FollowAnnouncement();
    return change;
}

ServerControl::ListenChange ServerControl::MoveListener(std::string* problem) {
    // An unusable setting leaves the running listener alone (the options
    // dialog never saves one).
    const config::Settings settings = CurrentSettings();
    const std::string wanted = ListeningSettings(settings);
    if (!IsListening() || !WantedPort() || wanted == listeningAs_) {
        return ListenChange::kNone;
    }
    const uint16_t before = Port();
    const Listening previous = *listening_;
    relay_.holdFailures = true;
    const bool moved = StartListener();
    if (!moved) {
        const std::string tried = lastPortTried_;
        const std::string reason = relay_.heldFailure;
        const bool back = engine_.StartListener(previous);
        relay_.holdFailures = false;
        if (!back) {
            toggledOn_ = false;
            relay_.OnStartFailed(reason);
            return ListenChange::kFailed;
        }
        listening_ = previous;
        const std::string text = "Port " + tried + " could not be taken (" + reason +
                                 "): Quorvane goes on serving on port " + std::to_string(Port()) +
                                 ".";
        observer_.OnLogAppended(text + "\r\n");
        if (problem != nullptr) {
            *problem = text;
        }
        return ListenChange::kKept;
    }
    relay_.holdFailures = false;
    if (before != Port()) {
        observer_.OnLogAppended("The port setting changed from " + std::to_string(before) + " to " +
                                std::to_string(Port()) + ": the listener was restarted.\r\n");
    } else {
        observer_.OnLogAppended("The listening settings changed: the listener was restarted.\r\n");
    }
    return ListenChange::kRestarted;
}

config::Settings ServerControl::CurrentSettings() const {
    return config::Settings::Load(folder_.SettingsPath()).With(options_.overrides.settings);
}

void ServerControl::StopListener() {
    engine_.StopListener();
    FollowAnnouncement();
}

void ServerControl::RefreshLog() {
    accessLog_.OpenEmpty();
}

void ServerControl::Unload() {
    engine_.Close();
    FollowAnnouncement();
    accessLog_.Close();
}

}  // namespace quorvane::server
