#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <unordered_map>

#include "server/limits.h"

namespace quorvane::server {

class Connection;

// How far a connection is. Only one whose client has not finished its
// handshake or head, or one idle between requests, may be closed to make
// room; a connection being served never is.
enum class Stage { kUnfinished, kServing, kIdle };

// The open connections, their clients and their stages, so that the accept
// loop keeps to the limits: at the overall limit it makes room by closing the
// oldest unfinished connection, else the one idle longest; a client at its
// share makes room among its own connections, or its newcomer is refused.
// Used on the engine's thread only; the count may be read from any thread.
class ConnectionRegistry {
  public:
    struct Member {
        Connection* connection;
        std::string client;
        Stage stage;
        uint64_t since;  // when it entered its stage, in changes made
        bool counted;    // false once closed to make room
    };
    using Place = std::list<Member>::iterator;

    ConnectionRegistry(ConnectionLimits limits, std::function<void(Connection&)> close);

    const ConnectionLimits& Limits() const { return limits_; }
    int Count() const { return count_; }

    // Whether a connection may be added now, after closing one if need be;
    // false while every place is taken by connections being served.
    bool MakeRoom();
    // Whether a newcomer from `client` may stay (its client under its share,
    // or brought under it by closing one of its own connections).
    bool AdmitClient(const std::string& client);

    Place Opened(Connection* connection, std::string client);
    void SetStage(Place place, Stage stage);
    void Closed(Place place);

  private:
    // Closes the client's (or anyone's, with no client) oldest unfinished
    // connection, else the one idle longest; false when there is none.
    bool CloseOneClosable(const std::string* client);
    void Uncount(Member& member);

    ConnectionLimits limits_;
    std::function<void(Connection&)> close_;
    std::list<Member> members_;
    std::unordered_map<std::string, int> perClient_;
    std::atomic<int> count_{0};
    uint64_t changes_ = 0;
};

}  // namespace quorvane::server
