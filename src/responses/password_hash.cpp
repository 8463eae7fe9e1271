#include "responses/password_hash.h"

#include <crypt.h>
#include <openssl/crypto.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>

namespace quorvane::responses {

namespace {

bool SameBytes(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

// crypt(3) over texts that may hold anything: a NUL byte would cut the
// password short, so such a text is never hashed. The work area (tens of KiB)
// lives on the heap and is wiped, as is the copy of the password.
std::optional<std::string> Crypt(std::string_view password, std::string_view setting) {
    if (password.find('\0') != std::string_view::npos ||
        setting.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    std::string phrase(password);
    const std::string settingText(setting);
    auto data = std::make_unique<crypt_data>();
    const char* hashed = crypt_rn(phrase.c_str(), settingText.c_str(), data.get(), sizeof *data);
    std::optional<std::string> result;
    if (hashed != nullptr && hashed[0] != '*') {
        result = hashed;
    }
    OPENSSL_cleanse(data.get(), sizeof *data);
    OPENSSL_cleanse(phrase.data(), phrase.size());
    return result;
}

}  // namespace

bool IsHashedPassword(std::string_view stored) {
    for (std::string_view prefix : {"$y$", "$2b$", "$2y$", "$6$"}) {
        if (stored.starts_with(prefix)) {
            return true;
        }
    }
    return false;
}

bool HasHashForm(std::string_view stored) {
    if (stored.size() < 3 || stored[0] != '$') {
        return false;
    }
    const size_t end = stored.find('$', 1);
    return end != std::string_view::npos && end > 1 &&
           std::all_of(stored.begin() + 1, stored.begin() + static_cast<std::ptrdiff_t>(end),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

bool IsLockedPassword(std::string_view stored) {
    return stored == "*" || stored == "!" || stored == "!!" ||
           (stored.starts_with('!') && HasHashForm(stored.substr(1)));
}

bool IsStoredInClear(std::string_view stored) {
    return !stored.empty() && !HasHashForm(stored) && !IsLockedPassword(stored);
}

bool VerifyPassword(std::string_view stored, std::string_view given) {
    if (!IsHashedPassword(stored)) {
        // A hash of a kind not checked here, or a locked entry, is no
        // password anyone could type: it lets nobody in.
        return IsStoredInClear(stored) && SameBytes(stored, given);
    }
    const std::optional<std::string> hashed = Crypt(given, stored);
    return hashed && SameBytes(*hashed, stored);
}

std::optional<std::string> HashPassword(std::string_view password) {
    std::array<char, CRYPT_GENSALT_OUTPUT_SIZE> setting{};
    // No random bytes given: the library takes them from the system.
    if (crypt_gensalt_rn("$y$", 0, nullptr, 0, setting.data(), setting.size()) == nullptr) {
        return std::nullopt;
    }
    return Crypt(password, setting.data());
}

}  // namespace quorvane::responses
