#include "config/text.h"

#include <algorithm>

namespace quorvane::config {

namespace {

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperAscii(x) == UpperAscii(y);
           });
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::string ToUpperAscii(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), UpperAscii);
    return upper;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

double LeadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    double sign = 1.0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        sign = text[i] == '-' ? -1.0 : 1.0;
        ++i;
    }
    double value = 0.0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10.0 + (text[i] - '0');
        ++i;
    }
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            value += (text[i] - '0') * scale;
            scale /= 10.0;
        }
    }
    return sign * value;
}

bool FlagEqualsOne(std::string_view value) {
    return LeadingNumber(value) == 1.0;
}

bool FlagNotZero(std::string_view value) {
    return LeadingNumber(value) != 0.0;
}

bool IsTruthWord(std::string_view value) {
    return StartsWith(value, "True");
}

namespace {

// How far the character at the start of `text` reaches: a well-formed UTF-8
// sequence whole, else the longest start of one (at least one byte), which
// is what one replacement character stands for (Unicode's "maximal subpart").
struct Utf8Step {
    size_t length;
    bool valid;
};

Utf8Step NextUtf8(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return {1, true};
    }
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0) {
        return {1, false};
    }
    // No overlong forms, surrogates or code points past U+10FFFF: the second
    // byte's range depends on the lead.
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    for (size_t i = 1; i < length; ++i) {
        const bool fits = i < text.size() && byte(i) >= (i == 1 ? low : 0x80) &&
                          byte(i) <= (i == 1 ? high : 0xBF);
        if (!fits) {
            return {i, false};
        }
    }
    return {length, true};
}

// Characters that do not read as themselves: controls, and those that
// change the order text is shown in.
bool Unshowable(std::string_view character) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(character[i]); };
    if (character.size() == 1) {
        return byte(0) < 0x20 || byte(0) == 0x7F;
    }
    if (character.size() == 2) {
        // C1 controls, and the arabic letter mark
        return (byte(0) == 0xC2 && byte(1) < 0xA0) || character == "\xD8\x9C";
    }
    if (character.size() == 3 && byte(0) == 0xE2 && byte(1) == 0x80) {
        return byte(2) == 0x8E || byte(2) == 0x8F || (byte(2) >= 0xAA && byte(2) <= 0xAE);
    }
    return character.size() == 3 && byte(0) == 0xE2 && byte(1) == 0x81 && byte(2) >= 0xA6 &&
           byte(2) <= 0xA9;
}

}  // namespace

std::string EscapeControlCharacters(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    while (!text.empty()) {
        // An ill-formed sequence is escaped a byte at a time.
        const Utf8Step step = NextUtf8(text);
        const std::string_view character = text.substr(0, step.valid ? step.length : 1);
        // The backslash, too, lest a request pass an escape of its own for one of ours.
        if (step.valid && !Unshowable(character) && character != "\\") {
            escaped += character;
        } else {
            for (char c : character) {
                const auto byte = static_cast<unsigned char>(c);
                escaped += "\\x";
                escaped += kHex[byte >> 4];
                escaped += kHex[byte & 0xF];
            }
        }
        text.remove_prefix(character.size());
    }
    return escaped;
}

std::string ValidUtf8(std::string_view text) {
    std::string valid;
    valid.reserve(text.size());
    while (!text.empty()) {
        const Utf8Step step = NextUtf8(text);
        if (step.valid) {
            valid += text.substr(0, step.length);
        } else {
            valid += "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER
        }
        text.remove_prefix(step.length);
    }
    return valid;
}

std::string ShowableText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    while (!text.empty()) {
        const Utf8Step step = NextUtf8(text);
        const std::string_view character = text.substr(0, step.length);
        shown += step.valid && !Unshowable(character) ? character : "\xEF\xBF\xBD";
        text.remove_prefix(step.length);
    }
    return shown;
}

std::string LoggableText(std::string_view text, size_t limit) {
    if (text.size() <= limit) {
        return EscapeControlCharacters(text);
    }
    return EscapeControlCharacters(text.substr(0, limit)) + "[... " +
           std::to_string(text.size() - limit) + " more bytes not logged]";
}

}  // namespace quorvane::config
