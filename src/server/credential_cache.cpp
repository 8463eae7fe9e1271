#include "server/credential_cache.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <algorithm>

#include "server/limits.h"

namespace quorvane::server {

CredentialCache::CredentialCache() {
    keyed_ = RAND_bytes(secret_.data(), static_cast<int>(secret_.size())) == 1;
}

CredentialCache::Key CredentialCache::KeyOf(std::string_view authorization) const {
    Key key{};
    unsigned int length = 0;
    HMAC(EVP_sha256(), secret_.data(), static_cast<int>(secret_.size()),
         reinterpret_cast<const unsigned char*>(authorization.data()), authorization.size(),
         key.data(), &length);
    return key;
}

void CredentialCache::Follow(const UsersList& users, Clock::time_point now) {
    if (users != users_) {
        entries_.clear();
        users_ = users;
    }
    // A clock set back makes no entry last longer.
    std::erase_if(entries_, [now](const Entry& entry) {
        return now < entry.checked || now - entry.checked >= kCredentialLife;
    });
}

std::optional<std::string> CredentialCache::Find(std::string_view authorization,
                                                 const UsersList& users, Clock::time_point now) {
    Follow(users, now);
    if (!keyed_ || entries_.empty()) {
        return std::nullopt;
    }
    const Key key = KeyOf(authorization);
    for (const Entry& entry : entries_) {
        if (CRYPTO_memcmp(entry.key.data(), key.data(), key.size()) == 0) {
            return entry.user;
        }
    }
    return std::nullopt;
}

void CredentialCache::Remember(std::string_view authorization, const UsersList& users,
                               std::string user, Clock::time_point now) {
    Follow(users, now);
    if (!keyed_) {
        return;
    }
    const Key key = KeyOf(authorization);
    std::erase_if(entries_, [&key](const Entry& entry) { return entry.key == key; });
    if (entries_.size() >= kRememberedCredentials) {
        entries_.pop_front();
    }
    entries_.push_back({key, std::move(user), now});
}

}  // namespace quorvane::server
