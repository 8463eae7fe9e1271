#pragma once

#include <algorithm>
#include <asio/awaitable.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>
#include <deque>
#include <memory>
#include <optional>

namespace quorvane::cgi {

// A counting semaphore for coroutines on one event loop: Acquire waits, in
// arrival order, until a slot is free. Used to bound how many CGI children
// run at once; the others wait their turn instead of being refused.
class AsyncSlots {
  public:
    explicit AsyncSlots(int slots) : free_(slots) {}

    // Holds one slot and gives it back when destroyed.
    class Lease {
      public:
        explicit Lease(AsyncSlots* owner) : owner_(owner) {}
        Lease(Lease&& other) noexcept : owner_(std::exchange(other.owner_, nullptr)) {}
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Lease& operator=(Lease&&) = delete;
        ~Lease() {
            if (owner_ != nullptr) {
                owner_->Release();
            }
        }

      private:
        AsyncSlots* owner_;
    };

    // A wait that is cancelled (through the awaiting coroutine's cancellation
    // slot) gives up its place in the queue and yields nothing.
    asio::awaitable<std::optional<Lease>> Acquire() {
        if (free_ > 0 && waiters_.empty()) {
            --free_;
            co_return Lease(this);
        }
        auto waiter = std::make_shared<Waiter>(co_await asio::this_coro::executor);
        waiters_.push_back(waiter);
        co_await waiter->wake.async_wait(asio::experimental::as_tuple(asio::use_awaitable));
        if (waiter->granted) {
            co_return Lease(this);  // Release handed its slot straight to this waiter
        }
        waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), waiter), waiters_.end());
        co_return std::nullopt;
    }

  private:
    struct Waiter {
        explicit Waiter(const asio::any_io_executor& executor)
            : wake(executor, asio::steady_timer::time_point::max()) {}
        asio::steady_timer wake;
        bool granted = false;
    };

    void Release() {
        // A waiter whose coroutine is gone holds the only reference left.
        while (!waiters_.empty()) {
            std::shared_ptr<Waiter> next = waiters_.front();
            waiters_.pop_front();
            if (next.use_count() > 1) {
                next->granted = true;
                next->wake.cancel();
                return;
            }
        }
        ++free_;
    }

    int free_;
    std::deque<std::shared_ptr<Waiter>> waiters_;
};

}  // namespace quorvane::cgi
