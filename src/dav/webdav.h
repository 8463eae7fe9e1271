#pragma once

#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "config/program_folder.h"
#include "dav/lock_table.h"
#include "http/body_sink.h"
#include "http/request.h"
#include "http/response.h"
#include "responses/request_scope.h"
#include "responses/resolution.h"

namespace quorvane::dav {

// A body held in memory is the most an XML request may send.
inline constexpr size_t kXmlBodyLimit = 1024 * 1024;

// The request needs its body before it can be answered: the connection
// reads it (up to `limit`) and hands the request over again with it.
struct BodyWanted {
    size_t limit;
};

using Answer = std::variant<http::Response, BodyWanted, std::unique_ptr<http::BodySink>>;

// A Destination's target resolved and its access checked, or the reply that
// refuses it.
using DestinationCheck =
    std::function<std::variant<responses::Resolution, http::Response>(const http::RequestTarget&)>;

// One WebDAV request whose target was resolved and whose access was granted.
struct DavRequest {
    const http::Request& request;
    const responses::Resolution& target;
    const responses::RequestScope& scope;
    const responses::ResolveContext& context;
    LockTable& locks;
    DestinationCheck checkDestination;
};

// Answers OPTIONS and the WebDAV methods (RFC 4918, classes 1 and 2).
// Reading goes as for GET; every write is made beneath the resolved folder's
// descriptor, where the folder's rules allow it, under the locks held.
Answer AnswerDav(const DavRequest& dav);

// Whether a method is answered here.
bool IsDavMethod(http::Method method);

// A name a visitor may give a new file or folder: no hidden name, no
// control character, no name that could run as a script, at most 255 bytes.
bool IsAcceptableName(std::string_view name);

}  // namespace quorvane::dav
