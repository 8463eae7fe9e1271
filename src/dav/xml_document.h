#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::dav {

inline constexpr std::string_view kDavNamespace = "DAV:";

// An element of a request's XML body, its name resolved to its namespace.
// Text is kept as the tree keeps it: `text` before the first child, each
// child's `tail` after it, so mixed content is written back as it came.
struct XmlElement {
    std::string ns;    // the namespace's URI; empty for none
    std::string name;  // the local name
    std::vector<std::pair<std::string, std::string>> attributes;  // without a namespace
    std::string text;
    std::string tail;
    std::vector<XmlElement> children;

    bool Is(std::string_view ns, std::string_view name) const {
        return this->ns == ns && this->name == name;
    }
    const XmlElement* Child(std::string_view ns, std::string_view name) const;
    // The content as XML that stands on its own: every element declares
    // its namespace.
    std::string InnerXml() const;
};

// The root of a body that is namespace-well-formed XML; nothing for
// anything else, and for a body that declares a document type (so no
// entity is ever expanded, none fetched) or nests deeper than a client
// ever needs.
std::optional<XmlElement> ParseXml(std::string_view body);

// Text made safe inside an element or a quoted attribute.
std::string EscapeXml(std::string_view text);

// An element name as written in a reply: DAV's with the "D:" prefix bound
// at the reply's root, any other declaring its own namespace.
std::string OpenTag(std::string_view ns, std::string_view name);
std::string CloseTag(std::string_view ns, std::string_view name);

}  // namespace quorvane::dav
