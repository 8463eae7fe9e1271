#include "responses/request_head.h"

#include "config/text.h"

namespace quorvane::responses {

void ForEachHeader(std::string_view head,
                   const std::function<void(std::string_view, std::string_view)>& visit) {
    size_t start = head.find('\n');  // headers start after the request line
    while (start != std::string_view::npos) {
        ++start;
        const size_t end = head.find('\n', start);
        std::string_view line = head.substr(start, end == head.npos ? head.npos : end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos && colon > 0) {
            visit(line.substr(0, colon), config::TrimBlanks(line.substr(colon + 1)));
        }
        start = end;
    }
}

std::optional<std::string_view> GetHeaderValue(std::string_view head, std::string_view name) {
    std::optional<std::string_view> found;
    ForEachHeader(head, [&](std::string_view lineName, std::string_view value) {
        if (!found && config::EqualsIgnoringCase(lineName, name)) {
            found = value;
        }
    });
    return found;
}

}  // namespace quorvane::responses
