#pragma once

#include <atomic>

#include "server/engine_observer.h"

namespace quorvane::server {

// Counts the requests in progress and shows every change to the observer.
class LoadCounter {
  public:
    explicit LoadCounter(EngineObserver& observer) : observer_(observer) {}

    void Reset() {
        count_ = 0;
        observer_.OnLoadCount(0);
    }
    void Raise() { observer_.OnLoadCount(++count_); }
    void Lower() {
        int current = count_.load();
        while (current > 0 && !count_.compare_exchange_weak(current, current - 1)) {
        }
        observer_.OnLoadCount(count_.load());
    }
    int Count() const { return count_.load(); }

  private:
    EngineObserver& observer_;
    std::atomic<int> count_{0};
};

// Holds one place in the count while a request is being answered.
class LoadTicket {
  public:
    explicit LoadTicket(LoadCounter& counter) : counter_(counter) { counter_.Raise(); }
    ~LoadTicket() { counter_.Lower(); }
    LoadTicket(const LoadTicket&) = delete;
    LoadTicket& operator=(const LoadTicket&) = delete;

  private:
    LoadCounter& counter_;
};

}  // namespace quorvane::server
