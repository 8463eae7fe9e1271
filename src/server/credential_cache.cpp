#include "server/credential_cache.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <algorithm>

#include "server/limits.h"

namespace quorvane::server {

CredentialCache::CredentialCache() {
    std::array<unsigned char, 32> secret{};
    std::unique_ptr<EVP_MAC, decltype(&EVP_MAC_free)> hmac(EVP_MAC_fetch(nullptr, "HMAC", nullptr),
                                                           EVP_MAC_free);
    char digest[] = "SHA256";
    const OSSL_PARAM parameters[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0), OSSL_PARAM_END};
    if (hmac && RAND_bytes(secret.data(), static_cast<int>(secret.size())) == 1) {
        mac_.reset(EVP_MAC_CTX_new(hmac.get()));
        if (mac_ && EVP_MAC_init(mac_.get(), secret.data(), secret.size(), parameters) != 1) {
            mac_.reset();
        }
    }
    OPENSSL_cleanse(secret.data(), secret.size());
}

std::optional<CredentialCache::Key> CredentialCache::KeyOf(std::string_view authorization) {
    Key key{};
    size_t length = 0;
    if (!mac_ || EVP_MAC_init(mac_.get(), nullptr, 0, nullptr) != 1 ||
        EVP_MAC_update(mac_.get(), reinterpret_cast<const unsigned char*>(authorization.data()),
                       authorization.size()) != 1 ||
        EVP_MAC_final(mac_.get(), key.data(), &length, key.size()) != 1 || length != key.size()) {
        return std::nullopt;
    }
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
    if (entries_.empty()) {
        return std::nullopt;
    }
    const std::optional<Key> key = KeyOf(authorization);
    for (const Entry& entry : entries_) {
        if (key && CRYPTO_memcmp(entry.key.data(), key->data(), key->size()) == 0) {
            return entry.user;
        }
    }
    return std::nullopt;
}

void CredentialCache::Remember(std::string_view authorization, const UsersList& users,
                               std::string user, Clock::time_point now) {
    Follow(users, now);
    const std::optional<Key> key = KeyOf(authorization);
    if (!key) {
        return;
    }
    std::erase_if(entries_, [&key](const Entry& entry) { return entry.key == *key; });
    if (entries_.size() >= kRememberedCredentials) {
        entries_.pop_front();
    }
    entries_.push_back({*key, std::move(user), now});
}

}  // namespace quorvane::server
