#pragma once

#include <cstdint>

#include "server/limits.h"

namespace quorvane::server {

// Raises this process's soft limit on open descriptors to its hard limit (a
// desktop session starts programs at 1024, barely above the connection
// limit), and returns the soft limit now in force. Called once by each main.
uint64_t RaiseDescriptorLimit();

// The connections that fit under a descriptor limit with the reserve kept
// aside; at least one, and each client its share.
ConnectionLimits LimitsForDescriptors(uint64_t softLimit);

// The same for the soft limit in force now.
ConnectionLimits CurrentConnectionLimits();

}  // namespace quorvane::server
