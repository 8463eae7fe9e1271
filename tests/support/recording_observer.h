#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "server/engine_observer.h"

namespace quorvane::testing {

// Keeps everything the engine reports, as the window would show it, and lets
// a test wait (for a bounded time) until something has been reported.
class RecordingObserver : public server::EngineObserver {
  public:
    void OnLogReplaced(std::string_view text) override {
        Update([&] { log_ = std::string(text); });
    }
    void OnLogAppended(std::string_view text) override {
        Update([&] { log_ += text; });
    }
    void OnLoadCount(int count) override {
        Update([&] { load_ = count; });
    }
    void OnStarted(std::string_view) override {}
    void OnStopped() override {
        Update([&] { ++stops_; });
    }
    void OnStartFailed(std::string_view reason) override {
        Update([&] { failure_ = std::string(reason); });
    }

    std::string Log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }
    int Load() const {
        std::lock_guard lock(mutex_);
        return load_;
    }
    std::string Failure() const {
        std::lock_guard lock(mutex_);
        return failure_;
    }
    int Stops() const {
        std::lock_guard lock(mutex_);
        return stops_;
    }

    // Waits until the log view holds the text; false after the timeout.
    bool WaitForLog(const std::string& text,
                    std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout,
                                 [&] { return log_.find(text) != std::string::npos; });
    }
    bool WaitForLoad(int count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return load_ == count; });
    }

  private:
    void Update(const std::function<void()>& change) {
        {
            std::lock_guard lock(mutex_);
            change();
        }
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::string log_;
    int load_ = 0;
    std::string failure_;
    int stops_ = 0;
};

}  // namespace quorvane::testing
