#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "config/file_handle.h"
#include "http/body_pieces.h"
#include "http/fields.h"
#include "http/status.h"
#include "http/streamed_body.h"

namespace quorvane::http {

// No body at all: a 304, or a reply that is only its head.
struct NoBody {};
// Slices of an open file, with texts between them (a document with its
// footer, its ranges, several ranges with their part heads), streamed from
// the file.
struct FileBody {
    std::shared_ptr<config::FileHandle> file;
    BodyPieces pieces;
};
// A script's own whole message, head and body as it wrote them: sent as it
// is, and ended only by closing the connection.
struct RawMessage {
    std::string bytes;
};
// The body is exactly one of: none, a text, a text kept and shared by many
// replies (a listing, an error page), slices of a file, a raw message, or
// bytes made while they are sent.
using Body = std::variant<NoBody, std::string, std::shared_ptr<const std::string>, FileBody,
                          RawMessage, std::shared_ptr<StreamedBody>>;

// A reply as a value: its status, its own fields in order, its body. What
// every reply shares (Server, Date, Connection, Content-Length) is added when
// its head is rendered, in one place.
struct Response {
    explicit Response(Status status = Status::kOk) : code(static_cast<int>(status)) {}
    // A status as a script stated it, with its own reason.
    Response(int code, std::string reason) : code(code), reason(std::move(reason)) {}

    int code;
    std::string reason;  // empty: the standard phrase
    Fields fields;
    Body body = NoBody{};

    Status status() const { return static_cast<Status>(code); }
    std::optional<std::string> Field(std::string_view name) const { return fields.Get(name); }
    // Marks where Content-Length goes among the fields; the renderer states
    // it from the body. Without a mark it goes after the other fields.
    void LengthHere() { fields.Add(kContentLength, ""); }
    bool AllowsBody() const { return StatusAllowsBody(code); }
    bool IsRaw() const { return std::holds_alternative<RawMessage>(body); }
    bool IsStreamed() const { return std::holds_alternative<std::shared_ptr<StreamedBody>>(body); }
    uint64_t BodyLength() const;
    // The body when it is held in memory (a text, a shared text, a raw
    // message); empty otherwise.
    std::string_view TextBody() const;

    static constexpr std::string_view kContentLength = "Content-Length";
};

// What the Connection line says: "close" when the connection ends after the
// reply, "keep-alive" to an HTTP/1.0 client kept, nothing for a kept HTTP/1.1
// connection, which is kept by default.
std::string_view ConnectionWord(bool keep, bool http10);

// The head on the wire: the status line, Server and Date, the response's own
// fields with Content-Length stated from the body (unless the status ends
// with its head; a streamed body is chunked instead where `chunked`, else
// ends with the connection), Connection when it says something ("close", or
// "keep-alive" to an HTTP/1.0 client), and the empty line. A raw message has
// no head of ours.
std::string RenderHead(const Response& response, std::string_view date,
                       std::string_view connection, bool chunked = false);

}  // namespace quorvane::http
