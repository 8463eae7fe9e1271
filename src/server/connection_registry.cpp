#include "server/connection_registry.h"

namespace quorvane::server {

ConnectionRegistry::ConnectionRegistry(ConnectionLimits limits,
                                       std::function<void(Connection&)> close)
    : limits_(limits), close_(std::move(close)) {}

bool ConnectionRegistry::MakeRoom() {
    return count_ < limits_.total || CloseOneClosable(nullptr);
}

bool ConnectionRegistry::AdmitClient(const std::string& client) {
    const auto found = perClient_.find(client);
    return found == perClient_.end() || found->second < limits_.perClient ||
           CloseOneClosable(&client);
}

ConnectionRegistry::Place ConnectionRegistry::Opened(Connection* connection, std::string client) {
    ++perClient_[client];
    ++count_;
    return members_.insert(members_.end(), Member{connection, std::move(client), Stage::kUnfinished,
                                                  ++changes_, true});
}

void ConnectionRegistry::SetStage(Place place, Stage stage) {
    if (place->stage != stage) {
        place->stage = stage;
        place->since = ++changes_;
    }
}

void ConnectionRegistry::Closed(Place place) {
    Uncount(*place);
    members_.erase(place);
}

void ConnectionRegistry::Uncount(Member& member) {
    if (!member.counted) {
        return;
    }
    member.counted = false;
    --count_;
    if (const auto found = perClient_.find(member.client); --found->second == 0) {
        perClient_.erase(found);
    }
}

bool ConnectionRegistry::CloseOneClosable(const std::string* client) {
    Member* chosen = nullptr;
    // A head or handshake not finished costs its client nothing to start
    // again; an idle kept connection may be about to carry a request.
    for (Stage stage : {Stage::kUnfinished, Stage::kIdle}) {
        for (Member& member : members_) {
            if (member.counted && member.stage == stage &&
                (client == nullptr || member.client == *client) &&
                (chosen == nullptr || member.since < chosen->since)) {
                chosen = &member;
            }
        }
        if (chosen != nullptr) {
            break;
        }
    }
    if (chosen == nullptr) {
        return false;
    }
    // Its descriptor goes with the close; its coroutine ends on its own.
    Uncount(*chosen);
    close_(*chosen->connection);
    return true;
}

}  // namespace quorvane::server
