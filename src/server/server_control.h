#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "config/program_folder.h"
#include "config/run_overrides.h"
#include "responses/request_scope.h"
#include "server/access_log.h"
#include "server/engine.h"
#include "server/engine_observer.h"
#include "server/https_setup.h"
#include "server/listen_plan.h"
#include "server/request_handler.h"
#include "server/site_announcement.h"
#include "server/site_announcer.h"

namespace quorvane::server {

// When the access log file is emptied.
enum class LogPolicy { kRefreshOnRun, kRefreshOnStop, kUserControlled };

std::string_view LoggingStatusText(LogPolicy policy);

// What start-up found, for the window to show.
struct StartupReport {
    bool settingsFound = false;
    bool minimise = false;
    bool autoStart = false;
    LogPolicy logPolicy = LogPolicy::kUserControlled;
    std::string rootDirectory;
};

inline constexpr std::string_view kSettingsMissingMessage =
    "quorvane.ini cannot be found. please reinstall";

// The program's start-up and server control without any window: the settings
// check, list repair, the access-log policy, the start/stop toggle and the
// end. The window and the headless program are both views over it.
class ServerControl {
  public:
    struct Options {
        // Tests listen on this address alone; the programs follow [Server] Listen.
        std::string listenAddress;
        // Tests listen on an ephemeral port; the programs use [Server] Port.
        std::optional<uint16_t> portOverride;
        // Likewise for HTTPS, when [Server] HttpsPort turns it on.
        std::optional<uint16_t> httpsPortOverride;
        // What this run uses in place of the files (a shared folder, a port).
        config::RunOverrides overrides;
        // The thumbnail decoder program; empty: no thumbnails.
        std::filesystem::path thumbnailer;
    };

    ServerControl(config::ProgramFolder folder, EngineObserver& observer, Options options);
    ~ServerControl();

    StartupReport Startup();

    // Stops a running server, or starts a stopped one (emptying the log first
    // under the stop/start policy). Returns whether the server now runs.
    bool ToggleServer();
    bool StartListener();
    void StopListener();
    // Empties the access log file now.
    void RefreshLog();

    // After the settings changed: a running listener whose port or listening
    // addresses the settings no longer name is moved at once (and says so in
    // the log view). When the new place cannot be taken the listener goes
    // back to where it was (kKept, `problem` says why, in words) and the
    // start failure is not reported as one; only when that fails too the
    // server is off (kFailed).
    enum class ListenChange { kNone, kRestarted, kKept, kFailed };
    ListenChange FollowListenSettings(std::string* problem = nullptr);
    // Announces the running site on the local network as the settings and
    // dirs.lst say now, or withdraws it; done by every start, stop and
    // FollowListenSettings.
    void FollowAnnouncement();
    // What the network is told now; empty while nothing is announced.
    const SiteAnnouncement& Announcement() const { return announced_; }

    // The port a start would listen on; nothing when the setting is not a
    // port number.
    std::optional<uint16_t> WantedPort() const;
    // The port text of the latest start, also of a failed one, for its message.
    const std::string& LastPortTried() const { return lastPortTried_; }
    // True while only this computer can reach the server (while stopped:
    // when it is set to listen so).
    bool ListensLocallyOnly() const;
    // Where the running server listens, for people: its URLs and who can
    // reach them; while stopped, who could.
    // Makes the edits of one Update (settings and lists) so that each
    // request sees all of them or none.
    void ApplyTogether(const std::function<void()>& writes) { engine_.Between(writes); }
    std::string ListenSummary() const;
    // Who may connect, as the settings (with this run's overrides) say.
    ListenChoice ListenReach() const;
    // Stops the server and closes the log; the program ends after it.
    void Unload();

    bool IsListening() const { return engine_.IsListening(); }
    uint16_t Port() const { return engine_.Port(); }
    uint16_t HttpsPort() const { return engine_.HttpsPort(); }  // 0 without HTTPS
    // The SHA-256 fingerprint of the certificate HTTPS presents now.
    const std::string& Fingerprint() const { return fingerprint_; }
    const std::vector<asio::ip::tcp::endpoint>& Endpoints() const { return engine_.Endpoints(); }
    const responses::HostIdentity& Host() const { return handler_.Host(); }
    const config::ProgramFolder& Folder() const { return folder_; }
    const AccessLog& Log() const { return accessLog_; }

  private:
    // Passes the engine's reports on, holding back start failures while a
    // listener that could not move goes back to its place.
    class Relay : public EngineObserver {
      public:
        explicit Relay(EngineObserver& to) : to_(to) {}
        void OnLogReplaced(std::string_view text) override { to_.OnLogReplaced(text); }
        void OnLogAppended(std::string_view text) override { to_.OnLogAppended(text); }
        void OnLoadCount(int openConnections) override { to_.OnLoadCount(openConnections); }
        void OnStarted(std::string_view startedAt) override { to_.OnStarted(startedAt); }
        void OnStopped() override { to_.OnStopped(); }
        void OnStartFailed(std::string_view reason) override;
        void OnNotice(const Notice& notice) override { to_.OnNotice(notice); }

        bool holdFailures = false;
        std::string heldFailure;  // the last one held back

      private:
        EngineObserver& to_;
    };

    // FollowListenSettings without the announcement.
    ListenChange MoveListener(std::string* problem);
    // Reports a start that could not begin, as the engine reports its own.
    bool StartFailed(const std::string& reason);
    // Adds HTTPS to the listening when the settings turn it on; false, with
    // the problem in `https`, when it cannot be.
    bool PlanHttps(const config::Settings& settings, Listening& listening, HttpsSetup& https);
    // What of the settings decides where the listener listens, as one text.
    std::string ListeningSettings(const config::Settings& settings) const;

    // The settings file as read now, with this run's overrides.
    config::Settings CurrentSettings() const;

    config::ProgramFolder folder_;
    EngineObserver& observer_;
    Relay relay_{observer_};
    Options options_;
    RequestHandler handler_;
    AccessLog accessLog_;
    Engine engine_;
    LogPolicy logPolicy_ = LogPolicy::kUserControlled;
    bool toggledOn_ = false;
    std::string lastPortTried_;
    std::string listeningAs_;             // the settings the running listener follows
    std::optional<Listening> listening_;  // where it listens
    std::string fingerprint_;
    SiteAnnouncement announced_;
    SiteAnnouncer announcer_;  // ends before the engine does
};

// The listening port of [Server] Port (80 when absent); nothing when the
// value is not a port number from 1 to 65535.
std::optional<uint16_t> ConfiguredPort(const config::Settings& settings);

}  // namespace quorvane::server
