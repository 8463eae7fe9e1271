#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "config/program_folder.h"
#include "responses/listing_cache.h"
#include "responses/standard_response.h"

namespace quorvane::responses {

// A folder as an HTML table: a link to the parent folder (except at the
// site's root), then its sub-folders (each linked with its final slash), then
// its files with date, link and size, each group sorted by name ignoring
// letter case. Hidden names and the program's own files are left out. Names
// are escaped for HTML in text and percent-encoded in links.
http::Response SendDirectoryListing(const std::filesystem::path& folder, std::string_view directory,
                                    std::string_view hostName, const config::OwnFiles& own,
                                    ListingCache* cache = nullptr);

// A page that sends the browser on to the url after one second; it goes out
// as "302 Found" with a Location line, so clients that do not read the page
// follow it too.
http::Response SendRedirectPage(std::string_view url, Clock::time_point now);

// "301 Moved Permanently" to the location (a folder asked for without its
// final slash), with a short page linking there.
http::Response SendMovedPage(std::string_view location, Clock::time_point now);

// 307 to the same page over HTTPS, for a plain-HTTP request while visitors
// are sent there.
http::Response SendSecureRedirectPage(std::string_view location, Clock::time_point now);

}  // namespace quorvane::responses
