#include "responses/expiry.h"

#include <algorithm>
#include <cmath>

#include "config/setting_keys.h"
#include "config/text.h"

namespace quorvane::responses {

using config::IsOn;
using config::LeadingNumber;
using config::ServerValue;
using config::StartsWith;
namespace setting = config::setting;

std::optional<std::chrono::sys_seconds> DocumentExpiry(const config::Settings& settings,
                                                       std::chrono::system_clock::time_point now) {
    if (!IsOn(settings, setting::kContentExpires)) {
        return std::nullopt;
    }
    // Whole seconds: a nanosecond clock cannot reach the far dates a count
    // may ask for.
    const auto nowSeconds = std::chrono::floor<std::chrono::seconds>(now);
    if (StartsWith(ServerValue(settings, setting::kInterval), "Immed")) {
        return nowSeconds;
    }
    // Half-way counts go to the even neighbour (1.5 and 2.5 both give 2).
    const double count = std::nearbyint(LeadingNumber(ServerValue(settings, setting::kDuration)));
    const std::string unit = ServerValue(settings, setting::kIntervalType);
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
