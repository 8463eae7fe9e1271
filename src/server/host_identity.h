#pragma once

#include <string>
#include <vector>

#include "responses/request_scope.h"

namespace quorvane::server {

// The machine's host name and its first non-loopback IPv4 address
// (127.0.0.1 when it has none).
responses::HostIdentity DiscoverHostIdentity();

// Every address of this machine's network interfaces as text, loopback
// included, in the order the system lists them.
std::vector<std::string> ListHostAddresses();

}  // namespace quorvane::server
