#include "server/access_log.h"

#include "responses/date_text.h"

namespace quorvane::server {

std::string AccessLogLine(std::string_view peerAddress, std::chrono::system_clock::time_point when,
                          std::string_view requestLine) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line(peerAddress);
    line += ",[";
    line += responses::AccessLogDateText(when);
    line += "],";
    for (size_t i = 0; i < requestLine.size(); ++i) {
        const auto byte = static_cast<unsigned char>(requestLine[i]);
        const bool closingCr = byte == '\r' && i + 1 == requestLine.size();
        if ((byte < 0x20 || byte == 0x7F) && !closingCr) {
            line += "\\x";
            line += kHex[byte >> 4];
            line += kHex[byte & 0xF];
        } else {
            line += static_cast<char>(byte);
        }
    }
    return line;
}

AccessLog::AccessLog(std::filesystem::path path) : path_(std::move(path)) {}

AccessLog::~AccessLog() {
    Close();
}

bool AccessLog::OpenEmpty() {
    return Open("wbe");
}

bool AccessLog::OpenForAppend() {
    return Open("abe");
}

bool AccessLog::Open(const char* mode) {
    std::lock_guard lock(mutex_);
    if (file_ != nullptr) {
        std::fclose(file_);
    }
    file_ = std::fopen(path_.c_str(), mode);
    return file_ != nullptr;
}

void AccessLog::Close() {
    std::lock_guard lock(mutex_);
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

bool AccessLog::IsOpen() const {
    std::lock_guard lock(mutex_);
    return file_ != nullptr;
}

void AccessLog::Write(std::string_view line) {
    std::lock_guard lock(mutex_);
    if (file_ == nullptr) {
        return;
    }
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fwrite("\r\n", 1, 2, file_);
    std::fflush(file_);
}

}  // namespace quorvane::server
