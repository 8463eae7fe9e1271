#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "responses/reply.h"
#include "responses/request_scope.h"
#include "responses/virtual_directories.h"

namespace quorvane::responses {

// One request for a document, a default document or a listing.
struct DocumentRequest {
    std::string directory;      // decoded; normalised to end with "/" by ServeDocument
    std::string document;       // decoded, without the query; "Default" for a folder
    std::string authorization;  // the Authorization value, empty when none was sent
};

// Answers the request completely: the document, a default document, a listing,
// a challenge, or error 404.
Reply ServeDocument(DocumentRequest& request, const RequestScope& scope);

// True when any segment of a request path starts with "." (a hidden entry,
// which counts as absent).
bool NamesHiddenEntry(std::string_view path);

// Whether a request in a directory must carry accepted credentials: its
// record is marked secure, or the whole site is secure (every folder, with or
// without a record). Shared with the CGI gateway.
bool RequiresAuthentication(const std::optional<VirtualDirectory>& record,
                            const config::Settings& settings);

}  // namespace quorvane::responses
