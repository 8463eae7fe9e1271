#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "config/file_handle.h"

namespace quorvane::server {

// "address,[05/Dec/2026:15:46:09],GET / HTTP/1.0\r" as one record: control
// characters inside the request line (other than its closing CR) are written
// as \xNN, so a request can never forge a second record.
std::string AccessLogLine(std::string_view peerAddress, std::chrono::system_clock::time_point when,
                          std::string_view requestLine);

// The open access log file. The engine's thread writes records; the control
// side opens, empties and closes it, so every operation holds the lock.
class AccessLog {
  public:
    // Failures (the file removed, the disk full, the folder read-only) are
    // told to `report` once each, not per request.
    AccessLog(std::filesystem::path path, std::function<void(std::string_view)> report = {});
    ~AccessLog();
    AccessLog(const AccessLog&) = delete;
    AccessLog& operator=(const AccessLog&) = delete;

    // Starts an empty file (deleting the old one) or appends to the file.
    bool OpenEmpty();
    bool OpenForAppend();
    // Past this many bytes (0: no limit) the file is moved aside to its name
    // with ".1" (replacing an older one) and a new file is started.
    void SetSizeLimit(uint64_t bytes);
    void Close();
    bool IsOpen() const;

    // Adds one record followed by CR LF to the file's buffer; nothing when no
    // file is open. The engine flushes every second and on every stop.
    void Write(std::string_view line);
    void Flush();

  private:
    bool Open(int flags);
    // With the lock held: writes the buffered records. A file removed from
    // its folder is started anew first (the records belong there); a file
    // that cannot be written keeps its records buffered for the next try.
    void FlushLocked();
    void Fail(const std::string& message);
    // With the lock held: opens the file for appending, private to its owner.
    bool OpenLocked(int flags);
    // With the lock held: moves a full file aside before `adding` more bytes.
    void RotateIfFullLocked(size_t adding);

    std::filesystem::path path_;
    std::function<void(std::string_view)> report_;
    mutable std::mutex mutex_;
    config::FileHandle file_;
    std::string buffer_;
    bool failing_ = false;  // a failure was reported and has not cleared yet
    bool wanted_ = false;   // a file should be open (it may have failed to)
    uint64_t size_ = 0;     // of the open file
    uint64_t sizeLimit_ = 0;
};

}  // namespace quorvane::server
