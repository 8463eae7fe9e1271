#pragma once

#include <chrono>
#include <string>
#include <unordered_map>

namespace quorvane::server {

// Failed sign-ins per client. A few go free; after them the client's
// credentials are refused unchecked for a wait that grows with each further
// failure, so guessing passwords takes hours, while the owner signing in from
// another address is never held up. A right password clears nothing: one
// known account must not open unlimited guessing of another. Failures are
// forgotten only after a quiet quarter of an hour. Used on the engine's
// thread only.
class SignInThrottle {
  public:
    using Clock = std::chrono::system_clock;

    // How long the client must still wait; zero when its credentials may be
    // checked now.
    Clock::duration Wait(const std::string& client, Clock::time_point now) const;
    // Counts a wrong password; returns the wait it starts (zero while the
    // client's failures are still free).
    Clock::duration Failed(const std::string& client, Clock::time_point now);
    int Failures(const std::string& client) const;

  private:
    struct Record {
        int failures = 0;
        Clock::time_point waitUntil;
        Clock::time_point last;
    };
    // Drops the clients quiet longest once too many are remembered.
    void Forget(Clock::time_point now);

    std::unordered_map<std::string, Record> clients_;
};

}  // namespace quorvane::server
