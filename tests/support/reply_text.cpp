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

std::string HeadText(const responses::Reply& reply) {
    return reply.raw ? std::string() : responses::RenderHead(reply, kTestDate, "close");
}

std::string BodyText(const responses::Reply& reply) {
    if (!reply.file) {
        return std::string(reply.BodyInMemory());
    }
    if (reply.parts.empty()) {
        return Slice(reply.file.Get(), reply.fileOffset, reply.fileLength);
    }
    std::string body;
    for (const http::BodyPart& part : reply.parts) {
        body += part.head + Slice(reply.file.Get(), part.slice.first, part.slice.Length());
    }
    return body + reply.closing;
}

std::string WireText(const responses::Reply& reply) {
    return HeadText(reply) + BodyText(reply);
}

std::string StatusLineOf(const std::string& head) {
    return head.substr(0, head.find("\r\n"));
}

std::string StatusLineOf(const responses::Reply& reply) {
    return reply.raw ? StatusLineOf(reply.body) : reply.statusLine;
}

}  // namespace quorvane::testing
