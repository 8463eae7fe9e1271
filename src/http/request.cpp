#include "http/request.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "config/text.h"

namespace quorvane::http {

namespace {

// The request line up to and including its CR; a line ended by LF alone is
// taken up to the LF.
std::string RequestLineOf(std::string_view head) {
    const size_t cr = head.find('\r');
    const size_t lf = head.find('\n');
    if (cr != std::string_view::npos && (lf == std::string_view::npos || cr < lf)) {
        return std::string(head.substr(0, cr + 1));
    }
    if (lf != std::string_view::npos) {
        return std::string(head.substr(0, lf));
    }
    return {};
}

bool IsTokenCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// "HTTP/" digit "." digit; false for anything else.
bool ReadVersion(std::string_view text, int& major, int& minor) {
    if (text.size() != 8 || !text.starts_with("HTTP/") || text[6] != '.' ||
        !std::isdigit(static_cast<unsigned char>(text[5])) ||
        !std::isdigit(static_cast<unsigned char>(text[7]))) {
        return false;
    }
    major = text[5] - '0';
    minor = text[7] - '0';
    return true;
}

// Whether a comma-separated header value lists the token.
bool ListsToken(std::string_view value, std::string_view token) {
    size_t start = 0;
    while (start <= value.size()) {
        const size_t comma = std::min(value.find(',', start), value.size());
        if (config::EqualsIgnoringCase(config::TrimBlanks(value.substr(start, comma - start)),
                                       token)) {
            return true;
        }
        start = comma + 1;
    }
    return false;
}

// Digits only; a list of equal lengths ("5, 5") counts as one.
std::optional<uint64_t> ParseLength(std::string_view value) {
    std::optional<uint64_t> length;
    size_t start = 0;
    while (start <= value.size()) {
        const size_t comma = std::min(value.find(',', start), value.size());
        const std::string_view item = config::TrimBlanks(value.substr(start, comma - start));
        if (item.empty()) {
            return std::nullopt;
        }
        uint64_t number = 0;
        for (char c : item) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            // A length past any limit stays past it, and is refused as too large.
            number = number > (UINT64_MAX - 9) / 10 ? UINT64_MAX
                                                    : number * 10 + static_cast<uint64_t>(c - '0');
        }
        if (length && *length != number) {
            return std::nullopt;
        }
        length = number;
        start = comma + 1;
    }
    return length;
}

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7F;
}

// The header lines as fields, when every one is "name: value" with a token
// for its name, nothing between the name and the colon, and no control byte
// in the value; a folded line, and a CR that does not end a line, make the
// head unreadable. Two readers of such a head could see different messages,
// so it is refused whole rather than read leniently.
std::optional<Fields> ReadFields(std::string_view head) {
    for (size_t cr = head.find('\r'); cr != std::string_view::npos; cr = head.find('\r', cr + 1)) {
        if (cr + 1 >= head.size() || head[cr + 1] != '\n') {
            return std::nullopt;
        }
    }
    Fields fields;
    size_t start = head.find('\n');
    while (start != std::string_view::npos && ++start < head.size()) {
        const size_t end = head.find('\n', start);
        std::string_view line = head.substr(start, end == head.npos ? head.npos : end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            break;  // the head's end
        }
        const size_t colon = line.find(':');
        if (colon == 0 || colon == std::string_view::npos ||
            !std::all_of(line.begin(), line.begin() + colon, IsTokenCharacter) ||
            std::any_of(line.begin() + colon + 1, line.end(), IsControl)) {
            return std::nullopt;
        }
        fields.Add(line.substr(0, colon), config::TrimBlanks(line.substr(colon + 1)));
        start = end;
    }
    return fields;
}

// What the body's framing and the connection's persistence follow from.
void ReadFraming(Request& request) {
    bool close = false;
    bool keepAlive = false;
    std::optional<std::string_view> length;
    bool lengthsDiffer = false;
    bool transferCoding = false;
    for (const Fields::Field& field : request.fields) {
        if (NamesEqual(field.name, "Connection")) {
            close = close || ListsToken(field.value, "close");
            keepAlive = keepAlive || ListsToken(field.value, "keep-alive");
        } else if (NamesEqual(field.name, "Expect")) {
            request.expectContinue = config::EqualsIgnoringCase(field.value, "100-continue");
        } else if (NamesEqual(field.name, "Content-Length")) {
            lengthsDiffer = lengthsDiffer || (length && *length != field.value);
            length = field.value;
        } else if (NamesEqual(field.name, "Transfer-Encoding")) {
            transferCoding = true;
        }
    }
    request.keepAlive = !close && (!request.http10 || keepAlive);
    // A body whose end two readers could see differently is refused whole.
    if (transferCoding && length) {
        request.body.kind = BodyFraming::Kind::kInvalid;
    } else if (transferCoding) {
        request.body.kind = BodyFraming::Kind::kChunked;
    } else if (length) {
        const std::optional<uint64_t> parsed = ParseLength(*length);
        request.body.kind =
            parsed && !lengthsDiffer ? BodyFraming::Kind::kLength : BodyFraming::Kind::kInvalid;
        request.body.length = parsed.value_or(0);
    }
}

// The request line's method, target and version.
Problem ReadRequestLine(std::string_view line, Request& request) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    const size_t firstSpace = line.find(' ');
    const size_t secondSpace =
        firstSpace == std::string_view::npos ? firstSpace : line.find(' ', firstSpace + 1);
    const std::string_view word = line.substr(0, firstSpace);
    static constexpr std::pair<std::string_view, Method> kMethods[] = {
        {"GET", Method::kGet},           {"HEAD", Method::kHead},
        {"POST", Method::kPost},         {"OPTIONS", Method::kOptions},
        {"PROPFIND", Method::kPropfind}, {"PROPPATCH", Method::kProppatch},
        {"MKCOL", Method::kMkcol},       {"PUT", Method::kPut},
        {"DELETE", Method::kDelete},     {"COPY", Method::kCopy},
        {"MOVE", Method::kMove},         {"LOCK", Method::kLock},
        {"UNLOCK", Method::kUnlock}};
    for (const auto& [name, method] : kMethods) {
        if (word == name) {
            request.method = method;
            request.methodName = name;
        }
    }
    int major = 0;
    int minor = 0;
    if (secondSpace == std::string_view::npos || word.empty() ||
        !std::all_of(word.begin(), word.end(), IsTokenCharacter) ||
        line.find(' ', secondSpace + 1) != std::string_view::npos ||
        !ReadVersion(line.substr(secondSpace + 1), major, minor)) {
        return Problem::kMalformed;
    }
    if (major != 1) {
        return Problem::kVersionNotSupported;
    }
    request.http10 = minor == 0;
    request.target = ParseTarget(line.substr(firstSpace + 1, secondSpace - firstSpace - 1));
    return Problem::kNone;
}

}  // namespace

bool Writes(Method method) {
    switch (method) {
        case Method::kProppatch:
        case Method::kMkcol:
        case Method::kPut:
        case Method::kDelete:
        case Method::kCopy:
        case Method::kMove:
        case Method::kLock:
        case Method::kUnlock:
            return true;
        default:
            return false;
    }
}

Request ParseHead(std::string_view head, bool whole) {
    Request request;
    request.requestLine = RequestLineOf(head);
    request.problem = ReadRequestLine(request.requestLine, request);
    if (!whole) {
        request.problem = Problem::kHeadTooLarge;
    }
    if (request.problem != Problem::kNone) {
        return request;
    }
    std::optional<Fields> fields = ReadFields(head);
    if (!fields) {
        request.problem = Problem::kMalformed;
        return request;
    }
    request.fields = std::move(*fields);
    ReadFraming(request);
    return request;
}

Conditions Request::ConditionFields() const {
    return {.ifMatch = fields.Get("If-Match"),
            .ifUnmodifiedSince = fields.Get("If-Unmodified-Since"),
            .ifNoneMatch = fields.Get("If-None-Match"),
            .ifModifiedSince = fields.Get("If-Modified-Since"),
            .ifRange = fields.Get("If-Range")};
}

RequestParser::Found RequestParser::Look(std::string_view received) {
    const std::string_view window = received.substr(0, std::min(received.size(), limit_));
    // An empty line may begin up to two bytes before what is new.
    if (const auto end = FindHeadEnd(window, scanned_ > 2 ? scanned_ - 2 : 0)) {
        headSize_ = *end;
        return Found::kHead;
    }
    scanned_ = window.size();
    if (received.size() >= limit_) {
        headSize_ = limit_;
        return Found::kTooLarge;
    }
    return Found::kNothingYet;
}

void RequestParser::Restart() {
    scanned_ = 0;
    headSize_ = 0;
}

std::optional<size_t> FindHeadEnd(std::string_view received, size_t from) {
    // A line ends with LF, a CR before it ignored, so the empty line that
    // ends the head is LF LF or LF CR LF, however the line before it ended.
    for (size_t lf = received.find('\n', from); lf != std::string_view::npos;
         lf = received.find('\n', lf + 1)) {
        if (lf + 1 < received.size() && received[lf + 1] == '\n') {
            return lf + 2;
        }
        if (lf + 2 < received.size() && received[lf + 1] == '\r' && received[lf + 2] == '\n') {
            return lf + 3;
        }
    }
    return std::nullopt;
}

}  // namespace quorvane::http
