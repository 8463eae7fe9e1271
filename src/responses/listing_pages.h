#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "config/program_folder.h"
#include "responses/reply.h"

namespace quorvane::responses {

// The files of a folder (not its sub-folders, not hidden names, not the
// program's own files) as an HTML table: date, link and size, sorted by name
// ignoring letter case. Names are escaped for HTML in text and
// percent-encoded in links.
Reply SendDirectoryListing(const std::filesystem::path& folder, std::string_view directory,
                           std::string_view hostName, const config::OwnFiles& own);

// A page that sends the browser on to the url after one second; it goes out
// as "302 Found" with a Location line, so clients that do not read the page
// follow it too.
Reply SendRedirectPage(std::string_view url, Clock::time_point now);

std::string EscapeHtml(std::string_view text);
std::string PercentEncodePath(std::string_view path);

}  // namespace quorvane::responses
