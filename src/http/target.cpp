#include "http/target.h"

#include "http/escaping.h"

#include "config/text.h"

namespace quorvane::http {

namespace {

// A decoded segment may not carry what the file system would read as a
// separator or what a log or terminal would read as a command.
bool IsSafeSegment(std::string_view segment) {
    for (char c : segment) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '/' || c == '\\') {
            return false;
        }
    }
    return segment != "..";
}

// An absolute-form target ("http://host/path") is reduced to its path.
std::string_view OriginForm(std::string_view target) {
    for (std::string_view scheme : {"http://", "https://"}) {
        if (config::StartsWithIgnoringCase(target, scheme)) {
            const size_t slash = target.find_first_of("/?", scheme.size());
            if (slash == std::string_view::npos) {
                return "/";
            }
            return target[slash] == '/' ? target.substr(slash) : std::string_view();
        }
    }
    return target;
}

}  // namespace

std::optional<RequestTarget> ParseTarget(std::string_view target) {
    target = OriginForm(target);
    RequestTarget parsed;
    const size_t question = target.find('?');
    if (question != std::string_view::npos) {
        parsed.query = std::string(target.substr(question + 1));
        target = target.substr(0, question);
    }
    // The path must begin at the site's top: a relative one has no folder to
    // be taken from.
    if (target.empty() || target.front() != '/') {
        return std::nullopt;
    }
    parsed.endsWithSlash = target.back() == '/';
    size_t start = 1;
    while (start <= target.size()) {
        size_t end = target.find('/', start);
        if (end == std::string_view::npos) {
            end = target.size();
        }
        const std::optional<std::string> segment = PercentDecode(target.substr(start, end - start));
        if (!segment || !IsSafeSegment(*segment)) {
            return std::nullopt;
        }
        // "//" and "." name the folder they stand in.
        if (!segment->empty() && *segment != ".") {
            parsed.segments.push_back(std::move(*segment));
        } else if (end == target.size()) {
            parsed.endsWithSlash = true;  // "/docs/." is the folder /docs/
        }
        start = end + 1;
    }
    return parsed;
}

std::string PathText(const RequestTarget& target) {
    std::string path = "/";
    for (size_t i = 0; i < target.segments.size(); ++i) {
        path += target.segments[i];
        if (i + 1 < target.segments.size() || target.endsWithSlash) {
            path += '/';
        }
    }
    return path;
}

}  // namespace quorvane::http
