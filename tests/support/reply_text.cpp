#include "support/reply_text.h"

#include <unistd.h>

namespace quorvane::testing {

namespace {

std::string Slice(int file, uint64_t offset, uint64_t length) {
    std::string content(length, '\0');
    const ssize_t got = ::pread(file, content.data(), content.size(), static_cast<off_t>(offset));
    content.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return content;
}

}  // namespace

std::string HeadText(const http::Response& response) {
    return http::RenderHead(response, kTestDate, "close");
}

std::string BodyText(const http::Response& response) {
    const auto* file = std::get_if<http::FileBody>(&response.body);
    if (file == nullptr) {
        return std::string(response.TextBody());
    }
    std::string body;
    for (const http::BodyPart& part : file->pieces.Parts()) {
        body += part.head + Slice(file->file->Get(), part.slice.first, part.slice.Length());
    }
    return body + file->pieces.Closing();
}

std::string WireText(const http::Response& response) {
    return HeadText(response) + BodyText(response);
}

std::string StatusLineOf(const std::string& head) {
    return head.substr(0, head.find("\r\n"));
}

std::string StatusLineOf(const http::Response& response) {
    return StatusLineOf(response.IsRaw() ? std::string(response.TextBody()) : HeadText(response));
}

}  // namespace quorvane::testing
