#include "server/descriptor_limit.h"

#include <sys/resource.h>

#include <algorithm>

namespace quorvane::server {

namespace {

uint64_t SoftLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return UINT64_MAX;
    }
    return limit.rlim_cur;
}

}  // namespace

uint64_t RaiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    return SoftLimit();
}

ConnectionLimits LimitsForDescriptors(uint64_t softLimit) {
    const uint64_t room = softLimit > static_cast<uint64_t>(kDescriptorReserve)
                              ? (softLimit - kDescriptorReserve) / kDescriptorsPerConnection
                              : 1;
    const int total =
        static_cast<int>(std::clamp<uint64_t>(room, 1, static_cast<uint64_t>(kMaxConnections)));
    return {total, std::max(1, total / kClientShare)};
}

ConnectionLimits CurrentConnectionLimits() {
    return LimitsForDescriptors(SoftLimit());
}

}  // namespace quorvane::server
