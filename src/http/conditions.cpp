#include "http/conditions.h"

#include "config/text.h"
#include "http/entity_tags.h"
#include "http/http_date.h"

namespace quorvane::http {

namespace {

bool IfRangeHolds(std::string_view value, const Validators& validators,
                  std::chrono::sys_seconds now) {
    value = config::TrimBlanks(value);
    if (IsEntityTag(value)) {
        return TagListMatches(value, validators.etag, TagComparison::kStrong);
    }
    const auto date = ParseHttpDate(value, now);
    return validators.dateIsStrong && date && *date == validators.lastModified &&
           validators.lastModified + std::chrono::seconds{1} <= now;
}

}  // namespace

ConditionalOutcome EvaluateConditions(const Conditions& conditions, const Validators& validators,
                                      std::chrono::sys_seconds now, bool getOrHead) {
    ConditionalOutcome outcome;
    if (conditions.ifMatch) {
        if (!TagListMatches(*conditions.ifMatch, validators.etag, TagComparison::kStrong)) {
            outcome.precondition = Precondition::kFailed;
            return outcome;
        }
    } else if (conditions.ifUnmodifiedSince) {
        const auto date = ParseHttpDate(*conditions.ifUnmodifiedSince, now);
        if (date && validators.lastModified > *date) {
            outcome.precondition = Precondition::kFailed;
            return outcome;
        }
    }
    if (conditions.ifNoneMatch) {
        if (TagListMatches(*conditions.ifNoneMatch, validators.etag, TagComparison::kWeak)) {
            outcome.precondition = getOrHead ? Precondition::kNotModified : Precondition::kFailed;
            return outcome;
        }
    } else if (conditions.ifModifiedSince && getOrHead) {
        const auto date = ParseHttpDate(*conditions.ifModifiedSince, now);
        if (date && *date <= now && validators.lastModified <= *date) {
            outcome.precondition = Precondition::kNotModified;
            return outcome;
        }
    }
    if (conditions.ifRange) {
        outcome.rangeAllowed = IfRangeHolds(*conditions.ifRange, validators, now);
    }
    return outcome;
}

}  // namespace quorvane::http
