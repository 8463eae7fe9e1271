#pragma once

#include <string_view>

namespace quorvane::server {

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
};

}  // namespace quorvane::server
