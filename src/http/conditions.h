#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::http {

// A request's conditional header values; absent when the request has no such
// line. Several lines of one name come joined with ", ", in their order.
struct Conditions {
    std::optional<std::string> ifMatch;
    std::optional<std::string> ifUnmodifiedSince;
    std::optional<std::string> ifNoneMatch;
    std::optional<std::string> ifModifiedSince;
    std::optional<std::string> ifRange;
};

// The served representation's validators as this reply states them.
struct Validators {
    std::string_view etag;  // strong, quoted
    std::chrono::sys_seconds lastModified;
    // False when the bytes sent can change while Last-Modified stays (a
    // footer taken from the settings): a date then names no one version.
    bool dateIsStrong = true;
};

enum class Precondition {
    kProceed,      // answer as without the conditions (200, or 206 for a range)
    kNotModified,  // 304: no body
    kFailed,       // 412 Precondition Failed
};

struct ConditionalOutcome {
    Precondition precondition = Precondition::kProceed;
    // When false, a Range header is ignored and the whole representation is
    // sent: an If-Range named another version.
    bool rangeAllowed = true;
};

// Evaluates the conditions in the standard order: If-Match (strong), else
// If-Unmodified-Since; then If-None-Match (weak; a match is 304 for GET and
// HEAD, 412 for other methods), else If-Modified-Since (GET and HEAD only);
// then If-Range. A date that is not a valid HTTP date is ignored, and so is
// an If-Modified-Since date later than `now`. An If-Range date counts only
// when the date is strong, equals Last-Modified exactly and Last-Modified
// lies at least a second before `now` (the reply's Date), so the file cannot
// have changed twice within that second unseen. Range itself applies to GET alone; the
// caller drops it for other methods.
ConditionalOutcome EvaluateConditions(const Conditions& conditions, const Validators& validators,
                                      std::chrono::sys_seconds now, bool getOrHead = true);

}  // namespace quorvane::http
