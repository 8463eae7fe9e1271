#pragma once

#include "responses/request_scope.h"

namespace quorvane::server {

// The machine's host name and its first non-loopback IPv4 address
// (127.0.0.1 when it has none).
responses::HostIdentity DiscoverHostIdentity();

}  // namespace quorvane::server
