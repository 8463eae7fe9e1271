#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane::testing {

// One piece of a page: a start tag, an end tag or a run of text.
struct MarkupNode {
    std::string tag;  // "a" for <a ...>, "/a" for </a>, empty for text
    std::vector<std::pair<std::string, std::string>> attributes;  // references resolved
    std::string text;  // of a text node, references resolved; raw in <script> and <style>

    std::optional<std::string> Attribute(std::string_view name) const;
    bool HasClass(std::string_view name) const;
};

// The page as a flat list of nodes, read strictly, as a stray quote or
// bracket from a name would break it: a tag is `<name( attr(="value")?)*/?>`
// with double-quoted values holding no '"' or '<'; text holds no '<' or '>';
// every '&' begins &amp; &lt; &gt; &quot; &#39; or &#N;. Script and style
// contents are taken as raw text up to their end tag; the doctype and
// comments are skipped. Nothing when the page leaves that grammar.
std::optional<std::vector<MarkupNode>> ReadMarkup(std::string_view html);

// The text of every node from `from` up to the end tag matching its start.
std::string TextWithin(const std::vector<MarkupNode>& nodes, size_t from);

}  // namespace quorvane::testing
