#include "responses/validators.h"

#include <algorithm>
#include <cstdio>

#include "config/text.h"

namespace quorvane::responses {

namespace {

struct EntityTag {
    bool weak = false;
    std::string_view opaque;  // with its quotation marks
};

class Fnv1a {
  public:
    void Add(std::string_view bytes) {
        for (unsigned char c : bytes) {
            AddByte(c);
        }
    }
    void Add(uint64_t value) {
        for (int i = 0; i < 8; ++i) {
            AddByte(static_cast<unsigned char>(value >> (8 * i)));
        }
    }
    uint64_t Value() const { return hash_; }

  private:
    void AddByte(unsigned char c) { hash_ = (hash_ ^ c) * 0x100000001b3ULL; }

    uint64_t hash_ = 0xcbf29ce484222325ULL;
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

std::string DocumentEtag(const struct stat& file, std::optional<std::string_view> footer) {
    // Unsigned, so even a time centuries ahead wraps rather than overflows.
    const uint64_t modifiedNs = static_cast<uint64_t>(file.st_mtim.tv_sec) * 1'000'000'000U +
                                static_cast<uint64_t>(file.st_mtim.tv_nsec);
    // Device and inode go in hashed: they say where the file lies and are no
    // business of a client.
    Fnv1a hash;
    hash.Add(static_cast<uint64_t>(file.st_dev));
    hash.Add(static_cast<uint64_t>(file.st_ino));
    if (footer) {
        hash.Add(uint64_t{1});  // so an empty footer differs from none
        hash.Add(*footer);
    }
    char text[80];
    std::snprintf(
        text, sizeof text, "\"%llx-%llx-%016llx\"", static_cast<unsigned long long>(file.st_size),
        static_cast<unsigned long long>(modifiedNs), static_cast<unsigned long long>(hash.Value()));
    return text;
}

std::chrono::sys_seconds LastModified(const struct stat& file, std::chrono::sys_seconds now) {
    return std::min(std::chrono::sys_seconds{std::chrono::seconds{file.st_mtim.tv_sec}}, now);
}

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

}  // namespace quorvane::responses
