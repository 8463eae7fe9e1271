#include "responses/content_type.h"

#include "config/list_file.h"
#include "config/text.h"

namespace quorvane::responses {

std::optional<std::string> LookUpContentType(std::string_view documentName,
                                             const std::vector<config::Record>& mimeTypes) {
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
    for (const config::Record& fields : mimeTypes) {
        const std::string& record = fields.front();
        const size_t comma = record.find(',');
        if (comma == std::string::npos) {
            continue;  // cannot be split; it describes no type
        }
        // Letter case is ignored: the list says "JPG" where the file is "photo.jpg".
        const std::string_view extension = std::string_view(record).substr(0, comma);
        if (config::EqualsIgnoringCase(extension, fromFirst)) {
            return record.substr(comma + 1);
        }
        if (!fallback && config::EqualsIgnoringCase(extension, fromLast)) {
            fallback = record.substr(comma + 1);
        }
    }
    return fallback;
}

}  // namespace quorvane::responses
