#include "config/text.h"

#include <gtest/gtest.h>

namespace quorvane::config {
namespace {

TEST(EscapeControlCharacters, LeavesOnlyWhatReadsAsItIs) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"GET /a%20b.htm HTTP/1.0", "GET /a%20b.htm HTTP/1.0"},
        {"\x1b[2J\rx\t", "\\x1B[2J\\x0Dx\\x09"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        // A backslash of the request can never pass for one of the escapes.
        {"\\x0D\\x0A", "\\x5Cx0D\\x5Cx0A"},
        // C1 controls, alone (not UTF-8) or encoded.
        {"\x9B"
         "2J",
         "\\x9B2J"},
        {"\xC2\x9B"
         "2J",
         "\\xC2\\x9B2J"},
        // Characters that reorder what is shown: "exe.txt" shown as "txt.exe".
        {"a\xE2\x80\xAEtxt.exe", "a\\xE2\\x80\\xAEtxt.exe"},
        {"\xE2\x81\xA6x\xE2\x81\xA9", "\\xE2\\x81\\xA6x\\xE2\\x81\\xA9"},
        {"a\xD8\x9C"
         "b",
         "a\\xD8\\x9Cb"},
        // Bytes that are no UTF-8: overlong, surrogate, cut short.
        {"\xC0\xAF", "\\xC0\\xAF"},
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},
        {"\xE2\x82", "\\xE2\\x82"},
    };
    for (const auto& [text, escaped] : cases) {
        EXPECT_EQ(EscapeControlCharacters(text), escaped) << text;
    }
}

TEST(ShowableText, ReplacesWhatDoesNotReadAsItself) {
    const std::string r = "\xEF\xBF\xBD";
    const std::pair<std::string_view, std::string> cases[] = {
        {"caf\xC3\xA9 <&> \\ \xF0\x9F\x98\x80", "caf\xC3\xA9 <&> \\ \xF0\x9F\x98\x80"},
        {"a\nb\tc\x7F", "a" + r + "b" + r + "c" + r},
        {"\xC2\x9B"
         "2J",
         r + "2J"},
        {"report\xE2\x80\xAEtxt.exe", "report" + r + "txt.exe"},
        {"\xE2\x81\xA6x\xE2\x81\xA9\xE2\x80\x8F\xD8\x9C", r + "x" + r + r + r},
        {"\xE2\x82"
         "A\xFF",
         r + "A" + r},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(ShowableText(text), shown) << EscapeControlCharacters(text);
    }
}

TEST(LoggableText, IsCutWithAMarkSayingHowMuchWasLeftOut) {
    EXPECT_EQ(LoggableText("abc", 3), "abc");
    EXPECT_EQ(LoggableText("abcdef", 3), "abc[... 3 more bytes not logged]");
    EXPECT_EQ(LoggableText("\x01\x02\x03\x04", 2), "\\x01\\x02[... 2 more bytes not logged]");
}

}  // namespace
}  // namespace quorvane::config
