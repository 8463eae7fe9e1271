#pragma once

#include <vector>

#include <optional>
#include <string>
#include <string_view>
#include "config/list_records.h"

#include "responses/request_scope.h"
#include "responses/standard_response.h"

namespace quorvane::responses {

// Standard Base64 (RFC 4648); nothing for text that is not well-formed
// Base64 (a length that is not a multiple of four, a foreign character,
// misplaced padding).
std::optional<std::string> Base64Decode(std::string_view encoded);

// The user name and password of an Authorization value "Basic <credentials>"
// (scheme word in any letter case), or nothing when the value is malformed.
struct Credentials {
    std::string user;
    std::string password;
};
std::optional<Credentials> ParseBasicCredentials(std::string_view authorization);

// The user as users.lst spells it when the credentials match it: user names
// ignore letter case, passwords compare exactly (through their hash when one
// is stored, see VerifyPassword), and the last record of a name decides. Nothing otherwise. A
// missing list accepts nobody, and a record without a name or a password is skipped.
std::optional<std::string> AuthenticateRequest(std::string_view authorization,
                                               const std::vector<config::UserAccount>& users);

// The challenge: the configured 401 page under a WWW-Authenticate line naming
// the realm.
http::Response SendAuthChallenge(std::string_view realm, const RequestScope& scope);

}  // namespace quorvane::responses
