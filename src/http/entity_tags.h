#pragma once

#include <string_view>

namespace quorvane::http {

enum class TagComparison {
    kStrong,  // both tags strong and equal
    kWeak,    // equal once a "W/" mark is set aside
};

// True when `etag` matches a member of an entity-tag list, or the list is "*".
// A list that breaks the grammar matches nothing.
bool TagListMatches(std::string_view list, std::string_view etag, TagComparison comparison);

// True when `text` is one entity tag, weak or strong, and nothing else.
bool IsEntityTag(std::string_view text);

}  // namespace quorvane::http
