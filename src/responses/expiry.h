#pragma once

#include <chrono>
#include <optional>

#include "config/settings_file.h"

namespace quorvane::responses {

// When a served document expires by the Expire settings, or nothing when it
// gets no Expires line.
std::optional<std::chrono::sys_seconds> DocumentExpiry(const config::Settings& settings,
                                                       std::chrono::system_clock::time_point now);

}  // namespace quorvane::responses
