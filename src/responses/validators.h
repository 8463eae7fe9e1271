#pragma once

#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::responses {

// A strong entity tag, quotation marks included, for a document served from
// `file` (the open file's own status). It changes whenever the bytes sent can
// change: with the file's size, its modification time in nanoseconds, device
// and inode (a file replaced by another), and the footer text when a footer
// is inserted into the page.
std::string DocumentEtag(const struct stat& file, std::optional<std::string_view> footer);

// The file's modification time in whole seconds, for Last-Modified; a time
// after `now` (the reply's Date) is stated as `now`, since a reply may not
// claim a change later than itself.
std::chrono::sys_seconds LastModified(const struct stat& file, std::chrono::sys_seconds now);

}  // namespace quorvane::responses
