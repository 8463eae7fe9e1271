#include "support/html_markup.h"

#include <cstdint>

namespace quorvane::testing {

namespace {

void AppendUtf8(std::string& text, uint32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Resolves the references of a text or value; nothing for a bare '&' or a
// '<' or `forbidden` character left raw.
std::optional<std::string> Resolve(std::string_view raw, std::string_view forbidden) {
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
    std::string text;
    for (size_t i = 0; i < raw.size();) {
        if (raw[i] == '<' || forbidden.find(raw[i]) != std::string_view::npos) {
            return std::nullopt;
        }
        if (raw[i] != '&') {
            text += raw[i++];
            continue;
        }
        bool known = false;
        for (const auto& [name, character] : kNamed) {
            if (raw.substr(i, name.size()) == name) {
                text += character;
                i += name.size();
                known = true;
                break;
            }
        }
        if (known) {
            continue;
        }
        size_t end = i + 2;
        uint32_t code = 0;
        while (end < raw.size() && raw[end] >= '0' && raw[end] <= '9' && code < 0x110000) {
            code = code * 10 + static_cast<uint32_t>(raw[end++] - '0');
        }
        if (raw.substr(i, 2) != "&#" || end == i + 2 || end >= raw.size() || raw[end] != ';' ||
            code >= 0x110000) {
            return std::nullopt;
        }
        AppendUtf8(text, code);
        i = end + 1;
    }
    return text;
}

bool NameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == ':';
}

std::string_view NameAt(std::string_view html, size_t& at) {
    const size_t start = at;
    while (at < html.size() && NameCharacter(html[at])) {
        ++at;
    }
    return html.substr(start, at - start);
}

// Reads the tag starting at html[at] ('<'), leaving `at` past its '>'.
std::optional<MarkupNode> ReadTag(std::string_view html, size_t& at) {
    MarkupNode node;
    ++at;
    const bool closing = at < html.size() && html[at] == '/';
    at += closing ? 1 : 0;
    const std::string_view name = NameAt(html, at);
    if (name.empty()) {
        return std::nullopt;
    }
    node.tag = (closing ? "/" : "") + std::string(name);
    while (at < html.size()) {
        while (at < html.size() && html[at] == ' ') {
            ++at;
        }
        if (html.substr(at, 1) == ">" || html.substr(at, 2) == "/>") {
            at += html[at] == '>' ? 1 : 2;
            return node;
        }
        const std::string_view attribute = NameAt(html, at);
        if (attribute.empty() || closing) {
            return std::nullopt;
        }
        std::string value;
        if (html.substr(at, 2) == "=\"") {
            const size_t end = html.find('"', at + 2);
            if (end == std::string_view::npos) {
                return std::nullopt;
            }
            const auto resolved = Resolve(html.substr(at + 2, end - at - 2), "");
            if (!resolved) {
                return std::nullopt;
            }
            value = *resolved;
            at = end + 1;
        }
        node.attributes.emplace_back(attribute, std::move(value));
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> MarkupNode::Attribute(std::string_view name) const {
    for (const auto& [key, value] : attributes) {
        if (key == name) {
            return value;
        }
    }
    return std::nullopt;
}

bool MarkupNode::HasClass(std::string_view name) const {
    const std::string classes = " " + Attribute("class").value_or("") + " ";
    return classes.find(" " + std::string(name) + " ") != std::string::npos;
}

std::optional<std::vector<MarkupNode>> ReadMarkup(std::string_view html) {
    std::vector<MarkupNode> nodes;
    size_t at = 0;
    while (at < html.size()) {
        const size_t end = html.find('<', at);
        if (end != at) {
            const auto text = Resolve(html.substr(at, end - at), ">");
            if (!text) {
                return std::nullopt;
            }
            nodes.push_back({.text = *text});
            if (end == std::string_view::npos) {
                break;
            }
            at = end;
        }
        for (const std::string_view skipped : {"<!DOCTYPE html>", "<!--"}) {
            if (html.substr(at, skipped.size()) == skipped) {
                const size_t close = skipped == "<!--" ? html.find("-->", at) : at;
                if (close == std::string_view::npos) {
                    return std::nullopt;
                }
                at = skipped == "<!--" ? close + 3 : at + skipped.size();
            }
        }
        if (at >= html.size() || html[at] != '<') {
            continue;
        }
        std::optional<MarkupNode> tag = ReadTag(html, at);
        if (!tag) {
            return std::nullopt;
        }
        const std::string name = tag->tag;
        nodes.push_back(std::move(*tag));
        if (name == "script" || name == "style") {
            const size_t close = html.find("</" + name + ">", at);
            if (close == std::string_view::npos) {
                return std::nullopt;
            }
            nodes.push_back({.text = std::string(html.substr(at, close - at))});
            at = close;
        }
    }
    return nodes;
}

std::string TextWithin(const std::vector<MarkupNode>& nodes, size_t from) {
    std::string text;
    int depth = 0;
    const std::string& tag = nodes[from].tag;
    for (size_t i = from; i < nodes.size(); ++i) {
        if (nodes[i].tag == tag) {
            ++depth;
        } else if (nodes[i].tag == "/" + tag && --depth == 0) {
            break;
        }
        text += nodes[i].text;
    }
    return text;
}

}  // namespace quorvane::testing
