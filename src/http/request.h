#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "http/conditions.h"
#include "http/fields.h"
#include "http/target.h"

namespace quorvane::http {

enum class Method {
    kGet,
    kHead,
    kPost,
    // WebDAV's, and the OPTIONS it answers.
    kOptions,
    kPropfind,
    kProppatch,
    kMkcol,
    kPut,
    kDelete,
    kCopy,
    kMove,
    kLock,
    kUnlock,
    kOther
};

// The methods that change what is on disk.
bool Writes(Method method);

// Why a head cannot be taken as a request.
enum class Problem {
    kNone,
    kHeadTooLarge,         // no empty line within the limit: 431
    kMalformed,            // not "method target HTTP/x.y", or a header line out of form: 400
    kVersionNotSupported,  // a version other than HTTP/1.x: 505
};

// How the head says its body ends.
struct BodyFraming {
    enum class Kind { kNone, kLength, kChunked, kInvalid } kind = Kind::kNone;
    uint64_t length = 0;  // for kLength
};

// A request as its head states it, as far as the head could be read.
struct Request {
    Method method = Method::kOther;
    std::string methodName;   // as named, when the method is one this server knows
    std::string requestLine;  // up to and including its closing CR, as received
    Problem problem = Problem::kNone;
    bool http10 = false;                  // an HTTP/1.0 request (else HTTP/1.1 or a later 1.x)
    std::optional<RequestTarget> target;  // nothing when malformed
    Fields fields;
    BodyFraming body;
    bool keepAlive = false;  // the client would keep the connection for more
    bool expectContinue = false;
    // The body, once read, for a request whose answer needs it whole.
    std::optional<std::string> content;

    // The fields the server reads, each by its name here alone.
    size_t HostLines() const { return fields.Count("Host"); }
    std::optional<std::string> Host() const { return fields.Get("Host"); }
    std::optional<std::string> Authorization() const { return fields.Get("Authorization"); }
    std::optional<std::string> Range() const { return fields.Get("Range"); }
    std::optional<std::string> ContentType() const { return fields.Get("Content-Type"); }
    std::optional<std::string> Accept() const { return fields.Get("Accept"); }
    std::optional<std::string> Depth() const { return fields.Get("Depth"); }
    std::optional<std::string> Destination() const { return fields.Get("Destination"); }
    std::optional<std::string> Overwrite() const { return fields.Get("Overwrite"); }
    std::optional<std::string> If() const { return fields.Get("If"); }
    std::optional<std::string> LockToken() const { return fields.Get("Lock-Token"); }
    std::optional<std::string> Timeout() const { return fields.Get("Timeout"); }
    std::optional<std::string> Origin() const { return fields.Get("Origin"); }
    bool HasBody() const {
        return body.kind == BodyFraming::Kind::kChunked ||
               (body.kind == BodyFraming::Kind::kLength && body.length > 0);
    }
    Conditions ConditionFields() const;
};

// Takes a head apart: the request line into method, target and version, the
// header lines into fields (each "name: value", the name a token with nothing
// before its colon, no control byte in the value; a folded line or a CR that
// ends no line makes the head unreadable), and what the body's framing and
// the connection's persistence follow from them. A head cut at the limit
// (`whole` false) is read for its request line and marked too large.
Request ParseHead(std::string_view head, bool whole = true);

// Finds request heads in the bytes a connection receives: each look searches
// only what arrived since the last, so a head trickling in a byte at a time
// costs no more than one sent at once.
class RequestParser {
  public:
    explicit RequestParser(size_t limit) : limit_(limit) {}

    enum class Found { kNothingYet, kHead, kTooLarge };
    Found Look(std::string_view received);
    // After kHead, where the head ends; after kTooLarge, the limit.
    size_t HeadSize() const { return headSize_; }
    // The head was taken out of the received bytes; the next one begins.
    void Restart();

  private:
    size_t limit_;
    size_t scanned_ = 0;
    size_t headSize_ = 0;
};

// Where the head ends: the index just past its empty line (LF LF, or LF CR
// LF, whatever ended the line before), looking from `from`; nothing while it
// has not arrived.
std::optional<size_t> FindHeadEnd(std::string_view received, size_t from = 0);

}  // namespace quorvane::http
