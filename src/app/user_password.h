#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quorvane::app {

// Why a name cannot be a user of users.lst, or empty when it can: it must not
// be empty, must fit the list's record format, and must hold no colon, which
// ends the name in the credentials a browser sends.
std::string UserNameProblem(std::string_view name);

// Stores the password's hash for the user in users.lst: every record of that
// name (letter case ignored, as sign-ins compare names) gets it, or a record
// is appended; the file is replaced in one step and stays private. The
// problem in words, or empty when stored; `replaced` tells which was done.
std::string StoreUserPassword(const std::filesystem::path& usersList, const std::string& name,
                              std::string_view password, bool& replaced);

}  // namespace quorvane::app
