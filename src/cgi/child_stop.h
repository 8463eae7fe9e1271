#pragma once

#include <functional>
#include <utility>

namespace quorvane::cgi {

// Lets whoever asked for a child end it before it is done, for instance when
// the client it works for has gone: the child and everything it started are
// killed, and `RunChild` returns as soon as they are. Engine thread only.
class ChildStop {
  public:
    void Request() {
        requested_ = true;
        if (onRequest_) {
            onRequest_();
        }
    }
    bool Requested() const { return requested_; }

    // Set by `RunChild` while its child runs, cleared when it has ended.
    void Attach(std::function<void()> onRequest) { onRequest_ = std::move(onRequest); }

  private:
    bool requested_ = false;
    std::function<void()> onRequest_;
};

}  // namespace quorvane::cgi
