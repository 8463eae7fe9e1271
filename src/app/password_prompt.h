#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane::app {

// A new password for the user, from standard input: asked twice with the
// terminal's echo off, or read as one line when standard input is no
// terminal. Nothing, with the problem in `problem`, when the two typings
// differ or nothing could be read.
std::optional<std::string> ReadNewPassword(std::string_view user, std::string& problem);

}  // namespace quorvane::app
