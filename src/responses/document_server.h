#pragma once

#include "responses/reply.h"
#include "responses/request_scope.h"
#include "responses/resolution.h"

namespace quorvane::responses {

// Answers a resolved request whose access was granted: the document (its
// default document included), the folder's listing, or error 404.
Reply ServeDocument(const Resolution& resolution, const RequestScope& scope);

}  // namespace quorvane::responses
