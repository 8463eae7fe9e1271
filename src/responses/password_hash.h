#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvane::responses {

// Whether a stored password is a crypt(3) hash this server checks: yescrypt
// ("$y$"), bcrypt ("$2b$", "$2y$") or SHA-512-crypt ("$6$"). Any other text
// is a password kept in clear, so lists written before hashes keep working.
bool IsHashedPassword(std::string_view stored);

// Whether a stored text has a crypt(3) hash's form, "$id$...", of any kind:
// made by a tool, never typed, so never a password in clear.
bool HasHashForm(std::string_view stored);
// "*", "!", "!!" or "!" before a hash: an account locked, as elsewhere.
bool IsLockedPassword(std::string_view stored);
// A password kept in clear: neither empty, nor a hash's form, nor locked.
bool IsStoredInClear(std::string_view stored);

// Whether `given` is the password that `stored` stands for: through its hash
// when hashed (a damaged hash accepts nothing), byte for byte when kept in
// clear; a hash of another kind, or a locked entry, accepts nothing. The final
// comparison takes the same time wherever the texts differ.
bool VerifyPassword(std::string_view stored, std::string_view given);

// A yescrypt hash of the password at the library's default cost, under a
// fresh random salt; nothing when none can be made.
std::optional<std::string> HashPassword(std::string_view password);

}  // namespace quorvane::responses
