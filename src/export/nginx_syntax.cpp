#include "export/nginx_syntax.h"

#include <algorithm>

namespace quorvane::exporting {

namespace {

bool Expressible(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f || c == '$';
    });
}

bool IsWordCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
           c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

std::optional<std::string> Quoted(std::string_view text) {
    if (!Expressible(text)) {
        return std::nullopt;
    }
    std::string quoted(1, '"');
    for (char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::optional<std::string> RegexLiteral(std::string_view text) {
    if (!Expressible(text)) {
        return std::nullopt;
    }
    std::string pattern;
    for (char c : text) {
        if (!IsWordCharacter(c)) {
            pattern += '\\';
        }
        pattern += c;
    }
    return pattern;
}

bool IsAddressRule(std::string_view entry) {
    return !entry.empty() && entry.size() <= 45 &&
           std::all_of(entry.begin(), entry.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
                      c == '.' || c == ':';
           });
}

}  // namespace quorvane::exporting
