#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/share_links.h"
#include "responses/resolution.h"

namespace quorvane::responses {

// The URL a share link is reached by: "/s/" and the token.
inline constexpr std::string_view kSharePrefix = "s";
std::string SharePath(std::string_view token);

// Where a request through a share link lands: the shared file itself, or
// the shared folder or an entry beneath it, opened beneath the folder's
// descriptor, so a link inside it that leads out (to a secure parent, say)
// is never followed. `rest` is what follows the token. Nothing is secure
// here, which is the link's purpose; nothing runs or takes writes, and a
// name that could run where it lies is never sent (as on the site), nor
// are hidden names or the program's own files.
Resolution ResolveShared(const config::ShareLink& link, std::string_view token,
                         const std::vector<std::string>& rest, bool endsWithSlash,
                         const ResolveContext& context);

// What applies at a place a walk of a shared folder found, `lying` as the
// walk reached it (links in it are resolved here).
Policy SharedPolicyAt(const std::filesystem::path& lying, const ResolveContext& context);

}  // namespace quorvane::responses
