#pragma once

#include <string_view>

#include "http/request.h"
#include "responses/request_scope.h"
#include "responses/resolution.h"
#include "responses/standard_response.h"

namespace quorvane::responses {

// What of the request a document reply depends on besides its path.
struct DocumentRequest {
    const http::Request& request;  // for Range and the conditional fields
    bool get = true;               // Range applies to GET alone (HEAD states the whole)
    // False sends the whole document whatever Range asks, so every body
    // sent is one whole copy (a link's counted downloads).
    bool ranges = true;
};

// Answers a resolved request whose access was granted: the document (its
// default document included, whole, in ranges, or 304 when the client's copy
// is current), the folder's listing, or error 404.
http::Response ServeDocument(const Resolution& resolution, const DocumentRequest& request,
                             const RequestScope& scope);

}  // namespace quorvane::responses
