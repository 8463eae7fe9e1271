#include "server/access_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "config/text.h"
#include "responses/date_text.h"
#include "server/limits.h"

namespace quorvane::server {

std::string AccessLogLine(std::string_view peerAddress, std::chrono::system_clock::time_point when,
                          std::string_view requestLine) {
    const bool closingCr = !requestLine.empty() && requestLine.back() == '\r';
    if (closingCr) {
        requestLine.remove_suffix(1);
    }
    std::string line(peerAddress);
    line += ",[";
    line += responses::AccessLogDateText(when);
    line += "],";
    line += config::LoggableText(requestLine, kLoggedTextLimit);
    if (closingCr) {
        line += '\r';
    }
    return line;
}

AccessLog::AccessLog(std::filesystem::path path, std::function<void(std::string_view)> report)
    : path_(std::move(path)), report_(std::move(report)) {}

AccessLog::~AccessLog() {
    Close();
}

bool AccessLog::OpenEmpty() {
    return Open(O_TRUNC);
}

bool AccessLog::OpenForAppend() {
    return Open(O_APPEND);
}

bool AccessLog::Open(int flags) {
    std::lock_guard lock(mutex_);
    if (file_) {
        FlushLocked();
    }
    wanted_ = true;
    buffer_.clear();
    if (!OpenLocked(flags)) {
        Fail("The access log " + path_.filename().string() +
             " cannot be opened: " + std::strerror(errno) + "\r\n");
        return false;
    }
    failing_ = false;
    return true;
}

bool AccessLog::OpenLocked(int flags) {
    // The log names every visitor: it is its owner's alone from the first byte.
    // Non-blocking: a FIFO in the log's place must not hold the server.
    file_.Reset(::open(path_.c_str(),
                       O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK | flags, 0600));
    struct stat info {};
    if (!file_ || ::fstat(file_.Get(), &info) != 0) {
        return false;
    }
    if ((info.st_mode & 077) != 0 && S_ISREG(info.st_mode)) {
        ::fchmod(file_.Get(), info.st_mode & 0700);  // one left readable by an older version
    }
    size_ = static_cast<uint64_t>(info.st_size);
    return true;
}

void AccessLog::SetSizeLimit(uint64_t bytes) {
    std::lock_guard lock(mutex_);
    sizeLimit_ = bytes;
}

void AccessLog::RotateIfFullLocked(size_t adding) {
    if (sizeLimit_ == 0 || size_ == 0 || size_ + adding <= sizeLimit_) {
        return;
    }
    const std::string name = path_.filename().string();
    std::filesystem::path old = path_;
    old += ".1";
    if (::rename(path_.c_str(), old.c_str()) != 0) {
        return;  // it keeps growing rather than lose records
    }
    if (OpenLocked(0) && report_) {
        report_("The access log " + name + " reached its size limit; it was moved to " +
                old.filename().string() + " and a new one was started.\r\n");
    }
}

void AccessLog::Close() {
    std::lock_guard lock(mutex_);
    FlushLocked();
    wanted_ = false;
    file_.Reset();
    buffer_.clear();
}

bool AccessLog::IsOpen() const {
    std::lock_guard lock(mutex_);
    return static_cast<bool>(file_);
}

void AccessLog::Write(std::string_view line) {
    std::lock_guard lock(mutex_);
    if (!wanted_) {
        return;
    }
    buffer_.append(line);
    buffer_.append("\r\n");
    if (buffer_.size() >= kLogFlushAt) {
        FlushLocked();
    }
}

void AccessLog::Flush() {
    std::lock_guard lock(mutex_);
    FlushLocked();
}

void AccessLog::FlushLocked() {
    if (!wanted_ || buffer_.empty()) {
        return;
    }
    const std::string name = path_.filename().string();
    struct stat info {};
    const bool removed = file_ && ::fstat(file_.Get(), &info) == 0 && info.st_nlink == 0;
    if (!file_ || removed) {
        if (OpenLocked(0) && removed) {
            Fail("The access log " + name + " was removed; a new one was started.\r\n");
        }
        if (!file_) {
            Fail("The access log " + name + " cannot be written: " + std::strerror(errno) + "\r\n");
            if (buffer_.size() > kLogHeldAtMost) {
                buffer_.erase(0, buffer_.size() - kLogHeldAtMost);
            }
            return;
        }
    }
    RotateIfFullLocked(buffer_.size());
    std::string_view pending = buffer_;
    while (!pending.empty()) {
        const ssize_t written = ::write(file_.Get(), pending.data(), pending.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            Fail("The access log " + name + " cannot be written: " + std::strerror(errno) + "\r\n");
            buffer_.erase(0, buffer_.size() - pending.size());
            if (buffer_.size() > kLogHeldAtMost) {
                buffer_.erase(0, buffer_.size() - kLogHeldAtMost);
            }
            return;
        }
        pending.remove_prefix(static_cast<size_t>(written));
        size_ += static_cast<uint64_t>(written);
    }
    buffer_.clear();
    failing_ = false;
}

void AccessLog::Fail(const std::string& message) {
    if (!failing_ && report_) {
        report_(message);
    }
    failing_ = true;
}

}  // namespace quorvane::server
