#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvane::responses {

// cmark 0.30.2 takes time growing with the square of some inputs (an image
// inside a link, repeated); at this size its slowest known case stays near a
// tenth of a second, beyond it a README could hold the server up for long.
inline constexpr size_t kMaxReadmeBytes = 64 * 1024;

// A folder's README (CommonMark) as HTML to show below its listing. Raw HTML
// is left out and links to dangerous schemes ("javascript:" and the like)
// emptied; bytes that are not UTF-8 become U+FFFD. Empty when the text is
// larger than kMaxReadmeBytes.
std::string RenderReadme(std::string_view markdown);

}  // namespace quorvane::responses
