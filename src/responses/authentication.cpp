#include "responses/authentication.h"

#include <array>

#include "config/text.h"
#include "responses/error_pages.h"
#include "responses/password_hash.h"

namespace quorvane::responses {

namespace {

constexpr int kInvalid = -1;

constexpr std::array<int, 256> MakeAlphabet() {
    std::array<int, 256> values{};
    values.fill(kInvalid);
    constexpr std::string_view kCharacters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < kCharacters.size(); ++i) {
        values[static_cast<unsigned char>(kCharacters[i])] = static_cast<int>(i);
    }
    return values;
}

constexpr std::array<int, 256> kAlphabet = MakeAlphabet();

}  // namespace

std::optional<std::string> Base64Decode(std::string_view encoded) {
    if (encoded.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string decoded;
    decoded.reserve(encoded.size() / 4 * 3);
    for (size_t group = 0; group < encoded.size(); group += 4) {
        const bool last = group + 4 == encoded.size();
        int values[4];
        int padding = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = encoded[group + i];
            if (c == '=' && last && i >= 2) {
                values[i] = 0;
                ++padding;
                continue;
            }
            values[i] = kAlphabet[static_cast<unsigned char>(c)];
            if (values[i] == kInvalid || padding > 0) {
                return std::nullopt;  // a foreign character, or data after padding
            }
        }
        const unsigned bits =
            (static_cast<unsigned>(values[0]) << 18) | (static_cast<unsigned>(values[1]) << 12) |
            (static_cast<unsigned>(values[2]) << 6) | static_cast<unsigned>(values[3]);
        decoded += static_cast<char>((bits >> 16) & 0xFF);
        if (padding < 2) {
            decoded += static_cast<char>((bits >> 8) & 0xFF);
        }
        if (padding < 1) {
            decoded += static_cast<char>(bits & 0xFF);
        }
    }
    return decoded;
}

std::optional<Credentials> ParseBasicCredentials(std::string_view authorization) {
    authorization = config::TrimBlanks(authorization);
    constexpr std::string_view kScheme = "Basic";
    if (!config::StartsWithIgnoringCase(authorization, kScheme) ||
        authorization.size() == kScheme.size() ||
        (authorization[kScheme.size()] != ' ' && authorization[kScheme.size()] != '\t')) {
        return std::nullopt;
    }
    const std::optional<std::string> decoded =
        Base64Decode(config::TrimBlanks(authorization.substr(kScheme.size())));
    if (!decoded) {
        return std::nullopt;
    }
    const size_t colon = decoded->find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    return Credentials{decoded->substr(0, colon), decoded->substr(colon + 1)};
}

std::optional<std::string> AuthenticateRequest(std::string_view authorization,
                                               const std::vector<config::UserAccount>& users) {
    const std::optional<Credentials> given = ParseBasicCredentials(authorization);
    if (!given) {
        return std::nullopt;
    }
    // The last record of the name decides, so only its password is checked.
    const config::UserAccount* deciding = nullptr;
    for (const config::UserAccount& user : users) {
        // A record without a name or a password never lets anyone in.
        if (!user.name.empty() && !user.password.empty() &&
            config::EqualsIgnoringCase(user.name, given->user)) {
            deciding = &user;
        }
    }
    if (deciding == nullptr || !VerifyPassword(deciding->password, given->password)) {
        return std::nullopt;
    }
    return deciding->name;
}

http::Response SendAuthChallenge(std::string_view realm, const RequestScope& scope) {
    // The realm is a request path; quotation marks and backslashes in it are
    // escaped so it stays one quoted string.
    std::string challenge = "Basic realm=\"";
    for (char c : realm) {
        if (c == '"' || c == '\\') {
            challenge += '\\';
        }
        challenge += c;
    }
    challenge += '"';
    http::Response response = SendErrorPage(ErrorCode::k401, scope);
    http::Fields fields;
    fields.Add("WWW-Authenticate", challenge);
    for (const auto& [name, value] : response.fields) {
        fields.Add(name, value);
    }
    response.fields = std::move(fields);
    return response;
}

}  // namespace quorvane::responses
