#include "responses/readme_text.h"

#include <cmark.h>

#include <cstdlib>
#include <memory>

namespace quorvane::responses {

std::string RenderReadme(std::string_view markdown) {
    if (markdown.size() > kMaxReadmeBytes) {
        return {};
    }
    // CMARK_OPT_SAFE is what cmark does unless told CMARK_OPT_UNSAFE; it is
    // named so the intent survives a version where the default changes.
    const std::unique_ptr<char, decltype(&std::free)> html(
        cmark_markdown_to_html(markdown.data(), markdown.size(),
                               CMARK_OPT_SAFE | CMARK_OPT_VALIDATE_UTF8),
        &std::free);
    return html ? std::string(html.get()) : std::string();
}

}  // namespace quorvane::responses
