#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane::http {

// Text made safe for HTML text and attribute values: & < > " ' as entities.
std::string EscapeHtml(std::string_view text);

// A hex digit's value in either letter case; -1 for anything else.
int HexDigitValue(char c);

// A decoded path made fit for a URL: every byte but letters, digits and the
// path's own delimiters as %XX.
std::string PercentEncodePath(std::string_view path);

// One path segment or query value made fit for a URL: every byte but
// letters, digits and "-._~" as %XX, so no delimiter (":" of a scheme, "/",
// "?", "#", "&", "=", "+") survives to change what the URL means.
std::string PercentEncodeComponent(std::string_view component);

// A request's raw query made fit for a Location line: its own escapes and
// delimiters kept, control characters, spaces and bytes beyond ASCII as %XX.
std::string PercentEncodeQuery(std::string_view query);

// Percent-decodes a text; nothing when an escape is cut short or not hex.
std::optional<std::string> PercentDecode(std::string_view text);

}  // namespace quorvane::http
