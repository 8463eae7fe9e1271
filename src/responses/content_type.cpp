#include "responses/content_type.h"

#include "config/text.h"

namespace quorvane::responses {

std::optional<std::string> LookUpContentType(std::string_view documentName,
                                             const std::vector<config::MediaType>& mimeTypes) {
    const size_t slash = documentName.rfind('/');
    const std::string_view fileName =
        slash == std::string_view::npos ? documentName : documentName.substr(slash + 1);
    const size_t firstDot = fileName.find('.');
    const size_t lastDot = fileName.rfind('.');
    const std::string_view fromFirst =
        firstDot == std::string_view::npos ? fileName : fileName.substr(firstDot + 1);
    const std::string_view fromLast =
        lastDot == std::string_view::npos ? fileName : fileName.substr(lastDot + 1);

    std::optional<std::string> fallback;
    for (const config::MediaType& media : mimeTypes) {
        // Letter case is ignored: the list says "JPG" where the file is "photo.jpg".
        if (config::EqualsIgnoringCase(media.extension, fromFirst)) {
            return media.type;
        }
        if (!fallback && config::EqualsIgnoringCase(media.extension, fromLast)) {
            fallback = media.type;
        }
    }
    return fallback;
}

}  // namespace quorvane::responses
