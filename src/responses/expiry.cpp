#include "responses/expiry.h"

#include <algorithm>
#include <cmath>

#include "config/text.h"

namespace quorvane::responses {

using config::FlagEqualsOne;
using config::LeadingNumber;
using config::StartsWith;

std::optional<std::chrono::sys_seconds> DocumentExpiry(const config::Settings& settings,
                                                       std::chrono::system_clock::time_point now) {
    if (!FlagEqualsOne(settings.Read("Expire", "ContentExpires", "0"))) {
        return std::nullopt;
    }
    // Whole seconds: a nanosecond clock cannot reach the far dates a count
    // may ask for.
    const auto nowSeconds = std::chrono::floor<std::chrono::seconds>(now);
    if (StartsWith(settings.Read("Expire", "Interval", "Immediate"), "Immed")) {
        return nowSeconds;
    }
    // Half-way counts go to the even neighbour (1.5 and 2.5 both give 2).
    const double count = std::nearbyint(LeadingNumber(settings.Read("Expire", "Duration", "0")));
    const std::string unit = settings.Read("Expire", "IntervalType", "Days");
    double days = 0;
    if (StartsWith(unit, "Days")) {
        days = count;
    } else if (StartsWith(unit, "Weeks")) {
        days = count * 7;
    } else {
        return std::nullopt;
    }
    // Keep the date within four-digit years, whatever the count.
    using namespace std::chrono;
    const auto today = floor<std::chrono::days>(now);
    const double earliest = (sys_days{year{1601} / January / 1} - today).count();
    const double latest = (sys_days{year{9999} / December / 31} - today).count();
    days = std::clamp(days, earliest, latest);
    return nowSeconds + std::chrono::days{static_cast<long>(days)};
}

}  // namespace quorvane::responses
