#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

namespace quorvane::server {

// The request bodies held in memory at once share one budget, so many slow
// uploads cannot exhaust memory between them, and one client holds at most
// a share of it, so it cannot starve everyone else's forms. Used on the
// engine's thread only.
class BodyBudget {
  public:
    BodyBudget(std::size_t limit, std::size_t perClient) : limit_(limit), perClient_(perClient) {}

    // What one body of a client holds; given back when it is destroyed.
    class Charge {
      public:
        Charge(BodyBudget& budget, std::string client)
            : budget_(budget), client_(std::move(client)) {}
        ~Charge() { budget_.Release(client_, held_); }
        Charge(const Charge&) = delete;
        Charge& operator=(const Charge&) = delete;

        // False, taking nothing, when the bytes would go over the budget or
        // over the client's share of it.
        bool Add(std::size_t bytes) {
            if (!budget_.Take(client_, bytes)) {
                return false;
            }
            held_ += bytes;
            return true;
        }

      private:
        BodyBudget& budget_;
        std::string client_;
        std::size_t held_ = 0;
    };

    std::size_t Used() const { return used_; }

  private:
    bool Take(const std::string& client, std::size_t bytes) {
        std::size_t& mine = byClient_[client];
        if (bytes > limit_ - used_ || bytes > perClient_ - mine) {
            if (mine == 0) {
                byClient_.erase(client);
            }
            return false;
        }
        used_ += bytes;
        mine += bytes;
        return true;
    }
    void Release(const std::string& client, std::size_t bytes) {
        if (bytes == 0) {
            return;
        }
        used_ -= bytes;
        if (const auto found = byClient_.find(client); (found->second -= bytes) == 0) {
            byClient_.erase(found);
        }
    }

    std::size_t limit_;
    std::size_t perClient_;
    std::size_t used_ = 0;
    std::unordered_map<std::string, std::size_t> byClient_;
};

}  // namespace quorvane::server
