#include "server/sign_in_throttle.h"

#include <algorithm>

#include "server/limits.h"

namespace quorvane::server {

SignInThrottle::Clock::duration SignInThrottle::Wait(const std::string& client,
                                                     Clock::time_point now) const {
    const auto found = clients_.find(client);
    if (found == clients_.end() || found->second.waitUntil <= now) {
        return Clock::duration::zero();
    }
    return found->second.waitUntil - now;
}

SignInThrottle::Clock::duration SignInThrottle::Failed(const std::string& client,
                                                       Clock::time_point now) {
    Forget(now);
    Record& record = clients_[client];
    if (record.failures > 0 && now - record.last > kSignInMemory) {
        record = Record{};
    }
    ++record.failures;
    record.last = now;
    const int beyond = record.failures - kFreeSignInFailures;
    if (beyond <= 0) {
        return Clock::duration::zero();
    }
    const Clock::duration wait = std::min<Clock::duration>(
        kFirstSignInWait * (int64_t{1} << std::min(beyond - 1, 16)), kLongestSignInWait);
    record.waitUntil = now + wait;
    return wait;
}

int SignInThrottle::Failures(const std::string& client) const {
    const auto found = clients_.find(client);
    return found == clients_.end() ? 0 : found->second.failures;
}

void SignInThrottle::Forget(Clock::time_point now) {
    if (clients_.size() < kThrottledClients) {
        return;
    }
    std::erase_if(clients_, [&](const auto& entry) {
        return now - entry.second.last > kSignInMemory && entry.second.waitUntil <= now;
    });
    while (clients_.size() >= kThrottledClients) {
        clients_.erase(std::min_element(
            clients_.begin(), clients_.end(),
            [](const auto& a, const auto& b) { return a.second.last < b.second.last; }));
    }
}

}  // namespace quorvane::server
