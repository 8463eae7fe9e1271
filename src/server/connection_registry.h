#pragma once

#include <atomic>
#include <list>

namespace quorvane::server {

class Connection;

// The open connections, and which of them sit idle between requests, so that
// at the connection limit the accept loop makes room by closing the one idle
// longest instead of leaving a newcomer waiting. Used on the engine's thread
// only; the count may be read from any thread.
class ConnectionRegistry {
  public:
    using Place = std::list<Connection*>::iterator;

    int Count() const { return count_; }
    void Opened() { ++count_; }
    void Closed() { --count_; }

    Place MarkIdle(Connection* connection) { return idle_.insert(idle_.end(), connection); }
    void MarkBusy(Place place) { idle_.erase(place); }

    // Closes the connection idle longest; false when none is idle.
    bool CloseOldestIdle();

  private:
    std::atomic<int> count_{0};
    std::list<Connection*> idle_;
};

}  // namespace quorvane::server
