#include "responses/fallback_type.h"

namespace quorvane::responses {

namespace {

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF)
// without NUL. `cut` accepts a valid beginning of a character at the end.
bool IsUtf8Text(std::string_view bytes, bool cut) {
    size_t at = 0;
    while (at < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        if (lead == 0) {
            return false;
        }
        if (lead < 0x80) {
            ++at;
            continue;
        }
        size_t following = 0;
        unsigned char low = 0x80;  // the range allowed for the second byte
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            following = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            following = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            following = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        for (size_t i = 1; i <= following; ++i) {
            if (at + i == bytes.size()) {
                return cut;
            }
            const auto next = static_cast<unsigned char>(bytes[at + i]);
            if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) {
                return false;
            }
        }
        at += following + 1;
    }
    return true;
}

}  // namespace

std::string_view FallbackContentType(std::string_view head, uint64_t fileSize) {
    return IsUtf8Text(head, fileSize > head.size()) ? "text/plain" : "application/octet-stream";
}

}  // namespace quorvane::responses
