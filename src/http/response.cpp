#include "http/response.h"

namespace quorvane::http {

uint64_t Response::BodyLength() const {
    if (const auto* file = std::get_if<FileBody>(&body)) {
        return file->pieces.Length();
    }
    return TextBody().size();
}

std::string_view Response::TextBody() const {
    if (const auto* text = std::get_if<std::string>(&body)) {
        return *text;
    }
    if (const auto* shared = std::get_if<std::shared_ptr<const std::string>>(&body)) {
        return **shared;
    }
    if (const auto* raw = std::get_if<RawMessage>(&body)) {
        return raw->bytes;
    }
    return {};
}

std::string_view ConnectionWord(bool keep, bool http10) {
    if (!keep) {
        return "close";
    }
    return http10 ? "keep-alive" : "";
}

std::string RenderHead(const Response& response, std::string_view date,
                       std::string_view connection, bool chunked) {
    if (response.IsRaw()) {
        return {};
    }
    const std::string length = std::to_string(response.BodyLength());
    std::string head;
    head.reserve(192);
    head += "HTTP/1.1 ";
    head += std::to_string(response.code);
    head += ' ';
    head += response.reason.empty() ? ReasonPhrase(response.code) : response.reason;
    head += "\r\nServer: Quorvane2000\r\nDate: ";
    head += date;
    head += "\r\n";
    bool lengthStated = false;
    for (const auto& [name, value] : response.fields) {
        const bool isLength = NamesEqual(name, Response::kContentLength);
        if (isLength && (lengthStated || !response.AllowsBody() || response.IsStreamed())) {
            continue;
        }
        head += name;
        head += ": ";
        head += isLength ? length : value;
        head += "\r\n";
        lengthStated = lengthStated || isLength;
    }
    if (response.IsStreamed()) {
        head += chunked ? "Transfer-Encoding: chunked\r\n" : "";
    } else if (!lengthStated && response.AllowsBody()) {
        head += "Content-Length: ";
        head += length;
        head += "\r\n";
    }
    if (!connection.empty()) {
        head += "Connection: ";
        head += connection;
        head += "\r\n";
    }
    head += "\r\n";
    return head;
}

}  // namespace quorvane::http
