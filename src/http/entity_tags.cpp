#include "http/entity_tags.h"

#include <optional>

#include "config/text.h"

namespace quorvane::http {

namespace {

struct EntityTag {
    bool weak = false;
    std::string_view opaque;  // with its quotation marks
};

bool IsTagCharacter(unsigned char c) {
    return c == 0x21 || (c >= 0x23 && c != 0x7f);  // visible but '"', or obs-text
}

// Reads one tag from the front of `text`; nothing when it is not one.
std::optional<EntityTag> TakeTag(std::string_view& text) {
    EntityTag tag;
    if (text.substr(0, 2) == "W/") {
        tag.weak = true;
        text.remove_prefix(2);
    }
    if (text.empty() || text.front() != '"') {
        return std::nullopt;
    }
    size_t end = 1;
    while (end < text.size() && IsTagCharacter(static_cast<unsigned char>(text[end]))) {
        ++end;
    }
    if (end == text.size() || text[end] != '"') {
        return std::nullopt;
    }
    tag.opaque = text.substr(0, end + 1);
    text.remove_prefix(end + 1);
    return tag;
}

bool Matches(const EntityTag& a, const EntityTag& b, TagComparison comparison) {
    return a.opaque == b.opaque && (comparison == TagComparison::kWeak || (!a.weak && !b.weak));
}

}  // namespace

bool TagListMatches(std::string_view list, std::string_view etag, TagComparison comparison) {
    std::string_view own = etag;
    const std::optional<EntityTag> ownTag = TakeTag(own);
    list = config::TrimBlanks(list);
    if (list == "*") {
        return true;
    }
    bool matched = false;
    bool expectTag = true;
    while (!list.empty()) {
        if (list.front() == ',') {
            list = config::TrimBlanks(list.substr(1));
            expectTag = true;
            continue;
        }
        const std::optional<EntityTag> tag = expectTag ? TakeTag(list) : std::nullopt;
        if (!tag) {
            return false;
        }
        matched = matched || (ownTag && Matches(*tag, *ownTag, comparison));
        list = config::TrimBlanks(list);
        expectTag = false;
    }
    return matched;
}

bool IsEntityTag(std::string_view text) {
    return TakeTag(text) && text.empty();
}

}  // namespace quorvane::http
