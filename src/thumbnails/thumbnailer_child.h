#pragma once

#include <sys/types.h>

#include <asio/awaitable.hpp>
#include <filesystem>
#include <memory>

#include "config/file_handle.h"

namespace quorvane::thumbnails {

// One run of the decoder program: it reads the source on its standard input
// and writes the thumbnail to its standard output, with a null standard
// error, in a process group of its own and with no other descriptor of the
// server. Engine thread only.
class ThumbnailerChild {
  public:
    // Nothing when the program could not be started.
    static std::unique_ptr<ThumbnailerChild> Start(const std::filesystem::path& program,
                                                   int sourceFd, int outputFd);

    ThumbnailerChild(pid_t pid, int pidFd);
    ThumbnailerChild(const ThumbnailerChild&) = delete;
    ThumbnailerChild& operator=(const ThumbnailerChild&) = delete;
    // Kills what still runs and reaps it.
    ~ThumbnailerChild();

    // Completes once the child has ended, reaped; the event loop keeps
    // running meanwhile.
    asio::awaitable<void> Ended();
    // Kills the child and anything it started.
    void Kill();
    // Reaps the child once it has ended; true when it is reaped.
    bool Reap(bool wait);
    // Whether it exited by itself with status 0; after Reap.
    bool Succeeded() const;

  private:
    pid_t pid_;
    config::FileHandle pidFd_;
    bool reaped_ = false;
    int status_ = 0;
};

}  // namespace quorvane::thumbnails
