#pragma once

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

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
    explicit AccessLog(std::filesystem::path path);
    ~AccessLog();
    AccessLog(const AccessLog&) = delete;
    AccessLog& operator=(const AccessLog&) = delete;

    // Starts an empty file (deleting the old one) or appends to the file.
    bool OpenEmpty();
    bool OpenForAppend();
    void Close();
    bool IsOpen() const;

    // Writes one record followed by CR LF; nothing when no file is open.
    void Write(std::string_view line);

  private:
    bool Open(const char* mode);

    std::filesystem::path path_;
    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
};

}  // namespace quorvane::server
