#pragma once

#include <cstddef>

namespace quorvane::server {

// The request bodies held in memory at once share one budget, so many slow
// uploads cannot exhaust memory between them. Used on the engine's thread
// only.
class BodyBudget {
  public:
    explicit BodyBudget(std::size_t limit) : limit_(limit) {}

    // What one body holds; given back when it is destroyed.
    class Charge {
      public:
        explicit Charge(BodyBudget& budget) : budget_(budget) {}
        ~Charge() { budget_.used_ -= held_; }
        Charge(const Charge&) = delete;
        Charge& operator=(const Charge&) = delete;

        // False, taking nothing, when the bytes would go over the budget.
        bool Add(std::size_t bytes) {
            if (bytes > budget_.limit_ - budget_.used_) {
                return false;
            }
            budget_.used_ += bytes;
            held_ += bytes;
            return true;
        }

      private:
        BodyBudget& budget_;
        std::size_t held_ = 0;
    };

    std::size_t Used() const { return used_; }

  private:
    std::size_t limit_;
    std::size_t used_ = 0;
};

}  // namespace quorvane::server
