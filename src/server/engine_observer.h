#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <variant>

#include "config/config_snapshots.h"

namespace quorvane::server {

// What the engine noticed that the person running it should know. The engine
// reports the fact; each view says it in its own words.
struct PasswordsInClear {};  // a secure folder was asked for over plain HTTP from afar
struct SignInsHeld {         // a client's sign-ins now wait after wrong passwords
    std::string client;
    int failures = 0;
    std::chrono::seconds wait{0};
};
using Notice = std::variant<PasswordsInClear, config::ReadProblem, SignInsHeld>;

// The notice in plain words, for a view that has nothing more to say about
// it: what happened, not where a setting lives.
std::string NoticeText(const Notice& notice);

// How the engine tells a window or the headless program what happens. Calls
// come from the engine's own thread (and from the caller of Start and Stop);
// a window marshals them onto its thread.
class EngineObserver {
  public:
    virtual ~EngineObserver() = default;

    virtual void OnLogReplaced(std::string_view text) = 0;  // a start begins a new log view
    virtual void OnLogAppended(std::string_view text) = 0;
    virtual void OnLoadCount(int openConnections) = 0;
    virtual void OnStarted(std::string_view startedAt) = 0;
    virtual void OnStopped() = 0;
    virtual void OnStartFailed(std::string_view reason) = 0;
    // Appends the notice's plain words to the log view unless the view says
    // it its own way.
    virtual void OnNotice(const Notice& notice) { OnLogAppended(NoticeText(notice)); }
};

}  // namespace quorvane::server
