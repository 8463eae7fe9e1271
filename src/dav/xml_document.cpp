#include "dav/xml_document.h"

#include <expat.h>

#include <memory>

#include "http/escaping.h"

namespace quorvane::dav {

namespace {

constexpr size_t kDeepest = 64;
constexpr char kNamespaceSeparator = '\n';

// Builds the tree as expat reports it; stops at the first thing refused.
class TreeBuilder {
  public:
    explicit TreeBuilder(XML_Parser parser) : parser_(parser) {}

    void Start(const XML_Char* name, const XML_Char** attributes) {
        if (path_.size() >= kDeepest) {
            return Refuse();
        }
        XmlElement element;
        SplitName(name, element.ns, element.name);
        for (size_t i = 0; attributes[i] != nullptr; i += 2) {
            std::string ns;
            std::string local;
            SplitName(attributes[i], ns, local);
            if (ns.empty()) {
                element.attributes.emplace_back(local, attributes[i + 1]);
            }
        }
        if (path_.empty()) {
            root_ = std::move(element);
            path_.push_back(&*root_);
        } else {
            path_.back()->children.push_back(std::move(element));
            path_.push_back(&path_.back()->children.back());
        }
    }
    void End() { path_.pop_back(); }
    void Text(const XML_Char* text, int length) {
        if (path_.empty()) {
            return;
        }
        XmlElement& at = *path_.back();
        (at.children.empty() ? at.text : at.children.back().tail).append(text, length);
    }
    void Refuse() {
        refused_ = true;
        XML_StopParser(parser_, XML_FALSE);
    }
    std::optional<XmlElement> Take() { return refused_ ? std::nullopt : std::move(root_); }

  private:
    static void SplitName(std::string_view full, std::string& ns, std::string& local) {
        const size_t cut = full.rfind(kNamespaceSeparator);
        if (cut == std::string_view::npos) {
            local = full;
        } else {
            ns = full.substr(0, cut);
            local = full.substr(cut + 1);
        }
    }

    XML_Parser parser_;
    std::optional<XmlElement> root_;
    std::vector<XmlElement*> path_;  // each points into root_'s tree, which grows at its end only
    bool refused_ = false;
};

struct ParserFree {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

void WriteElement(const XmlElement& element, std::string& out) {
    const std::string tag = element.ns.empty() ? element.name : "q:" + element.name;
    out += "<" + tag;
    out += element.ns.empty() ? std::string(" xmlns=\"\"")
                              : " xmlns:q=\"" + EscapeXml(element.ns) + "\"";
    for (const auto& [name, value] : element.attributes) {
        out += " " + name + "=\"" + EscapeXml(value) + "\"";
    }
    out += ">" + element.InnerXml() + "</" + tag + ">";
}

}  // namespace

const XmlElement* XmlElement::Child(std::string_view ns, std::string_view name) const {
    for (const XmlElement& child : children) {
        if (child.Is(ns, name)) {
            return &child;
        }
    }
    return nullptr;
}

std::string XmlElement::InnerXml() const {
    std::string out = EscapeXml(text);
    for (const XmlElement& child : children) {
        WriteElement(child, out);
        out += EscapeXml(child.tail);
    }
    return out;
}

std::optional<XmlElement> ParseXml(std::string_view body) {
    const std::unique_ptr<XML_ParserStruct, ParserFree> parser(
        XML_ParserCreateNS("UTF-8", kNamespaceSeparator));
    if (!parser) {
        return std::nullopt;
    }
    TreeBuilder builder(parser.get());
    XML_SetUserData(parser.get(), &builder);
    XML_SetElementHandler(
        parser.get(),
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            static_cast<TreeBuilder*>(data)->Start(name, attributes);
        },
        [](void* data, const XML_Char*) { static_cast<TreeBuilder*>(data)->End(); });
    XML_SetCharacterDataHandler(parser.get(), [](void* data, const XML_Char* text, int length) {
        static_cast<TreeBuilder*>(data)->Text(text, length);
    });
    // No document type at all: no entity can be declared, none expanded or fetched.
    XML_SetStartDoctypeDeclHandler(
        parser.get(), [](void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
            static_cast<TreeBuilder*>(data)->Refuse();
        });
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    if (XML_Parse(parser.get(), body.data(), static_cast<int>(body.size()), XML_TRUE) !=
        XML_STATUS_OK) {
        return std::nullopt;
    }
    return builder.Take();
}

std::string EscapeXml(std::string_view text) {
    return http::EscapeHtml(text);  // the same five characters, as entities
}

std::string OpenTag(std::string_view ns, std::string_view name) {
    if (ns == kDavNamespace) {
        return "<D:" + std::string(name) + ">";
    }
    if (ns.empty()) {
        return "<" + std::string(name) + " xmlns=\"\">";
    }
    return "<R:" + std::string(name) + " xmlns:R=\"" + EscapeXml(ns) + "\">";
}

std::string CloseTag(std::string_view ns, std::string_view name) {
    if (ns == kDavNamespace) {
        return "</D:" + std::string(name) + ">";
    }
    return (ns.empty() ? "</" : "</R:") + std::string(name) + ">";
}

}  // namespace quorvane::dav
