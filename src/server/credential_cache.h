#pragma once

#include <array>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <openssl/evp.h>

#include "config/config_snapshots.h"

namespace quorvane::server {

// Sign-ins already found good, so a password kept as a slow hash is checked
// once rather than with every request that repeats it. An entry holds only a
// keyed hash of the Authorization value (HMAC-SHA256 under a secret made anew
// at each start), never the value, and the user it signed in. Entries last
// kCredentialLife from their check, the oldest goes past
// kRememberedCredentials, and all go when the users list is read anew.
// Used on the engine's thread only.
class CredentialCache {
  public:
    using Clock = std::chrono::system_clock;
    using UsersList = std::shared_ptr<const config::Users>;

    CredentialCache();

    // The user these credentials signed in as, when they were found good
    // against this very reading of the list lately.
    std::optional<std::string> Find(std::string_view authorization, const UsersList& users,
                                    Clock::time_point now);
    void Remember(std::string_view authorization, const UsersList& users, std::string user,
                  Clock::time_point now);

  private:
    using Key = std::array<unsigned char, 32>;
    struct Entry {
        Key key;
        std::string user;
        Clock::time_point checked;
    };

    // Nothing when the keyed hash could not be made.
    std::optional<Key> KeyOf(std::string_view authorization);
    // Forgets everything found good against another reading of the list,
    // and what has expired.
    void Follow(const UsersList& users, Clock::time_point now);

    // Keyed once, so each request only hashes its value. Without it (no
    // random bytes to be had) nothing is remembered.
    std::unique_ptr<EVP_MAC_CTX, decltype(&EVP_MAC_CTX_free)> mac_{nullptr, EVP_MAC_CTX_free};
    // Held, so that a later reading cannot take the address of this one.
    UsersList users_;
    std::deque<Entry> entries_;  // oldest first
};

}  // namespace quorvane::server
