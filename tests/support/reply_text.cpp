#include "support/reply_text.h"

#include <unistd.h>

namespace quorvane::testing {

std::string BodyText(const responses::Reply& reply) {
    if (!reply.file) {
        return reply.body;
    }
    std::string content(reply.fileSize, '\0');
    const ssize_t got = ::pread(reply.file.Get(), content.data(), content.size(), 0);
    content.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return content;
}

std::string WireText(const responses::Reply& reply) {
    return reply.head + BodyText(reply);
}

std::string StatusLineOf(const std::string& head) {
    return head.substr(0, head.find("\r\n"));
}

}  // namespace quorvane::testing
