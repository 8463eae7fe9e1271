// Basic credentials: any Authorization value is handled, and Base64 that
// decodes re-encodes to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "responses/authentication.h"

namespace {

std::string Encode(const std::string& bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned bits = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            bits |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            bits |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(bits >> 18) & 63];
        out += kAlphabet[(bits >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(bits >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[bits & 63] : '=';
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    quorvane::responses::ParseBasicCredentials(text);
    quorvane::responses::AuthenticateRequest(text, {{"user", "password"}});
    if (const auto decoded = quorvane::responses::Base64Decode(text)) {
        // Unused bits in a padded group may differ; compare canonical forms.
        if (quorvane::responses::Base64Decode(Encode(*decoded)) != decoded) {
            std::abort();
        }
    }
    return 0;
}
