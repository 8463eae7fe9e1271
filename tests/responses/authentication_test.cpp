#include "responses/authentication.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace quorvane::responses {
namespace {

TEST(Base64, DecodesPaddingAndRefusesMalformedText) {
    EXPECT_EQ(Base64Decode("Ym9iOnNlY3JldA=="), "bob:secret");
    EXPECT_EQ(Base64Decode("YQ=="), "a");
    EXPECT_EQ(Base64Decode("YWI="), "ab");
    EXPECT_EQ(Base64Decode("YWJj"), "abc");
    EXPECT_EQ(Base64Decode(""), "");
    EXPECT_EQ(Base64Decode("YWJ"), std::nullopt);       // not a multiple of four
    EXPECT_EQ(Base64Decode("YW*j"), std::nullopt);      // foreign character
    EXPECT_EQ(Base64Decode("=WJj"), std::nullopt);      // padding first
    EXPECT_EQ(Base64Decode("YQ==YWJj"), std::nullopt);  // data after padding
    EXPECT_EQ(Base64Decode("Y=Jj"), std::nullopt);
}

TEST(Credentials, SchemeWordIgnoresCaseAndOnlyTheFirstColonSplits) {
    const auto credentials = ParseBasicCredentials("bAsIc   Ym9iOnM6ZWM6cmV0");  // bob:s:ec:ret
    ASSERT_TRUE(credentials.has_value());
    EXPECT_EQ(credentials->user, "bob");
    EXPECT_EQ(credentials->password, "s:ec:ret");
    EXPECT_FALSE(ParseBasicCredentials("Digest Ym9iOnNlY3JldA==").has_value());
    EXPECT_FALSE(ParseBasicCredentials("BasicYm9iOnNlY3JldA==").has_value());
    EXPECT_FALSE(ParseBasicCredentials("Basic Ym9i").has_value());  // "bob": no colon
    EXPECT_FALSE(ParseBasicCredentials("").has_value());
}

TEST(AuthenticateRequest, NamesIgnoreCasePasswordsDoNotAndTheLastRecordDecides) {
    testing::TempFolder folder;
    const auto usersFile = folder.Write(
        "users.lst",
        "\"Bob\",\"first\"\r\n\"carol\",\"Pass\"\r\n\"bob\",\"second\"\r\n\"alice\"\r\n"
        "\"erin\",\"\"\r\n\"frank\",\"pw\"\r\n");
    const auto basic = [](std::string_view text) {
        static constexpr char kAlphabet[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string out;
        for (size_t i = 0; i < text.size(); i += 3) {
            unsigned bits = static_cast<unsigned char>(text[i]) << 16;
            if (i + 1 < text.size())
                bits |= static_cast<unsigned char>(text[i + 1]) << 8;
            if (i + 2 < text.size())
                bits |= static_cast<unsigned char>(text[i + 2]);
            out += kAlphabet[(bits >> 18) & 63];
            out += kAlphabet[(bits >> 12) & 63];
            out += i + 1 < text.size() ? kAlphabet[(bits >> 6) & 63] : '=';
            out += i + 2 < text.size() ? kAlphabet[bits & 63] : '=';
        }
        return "Basic " + out;
    };
    const auto users = config::ReadRecords(usersFile, 2);
    EXPECT_TRUE(AuthenticateRequest(basic("BOB:second"), users));
    EXPECT_FALSE(AuthenticateRequest(basic("bob:first"), users));
    EXPECT_TRUE(AuthenticateRequest(basic("Carol:Pass"), users));
    EXPECT_FALSE(AuthenticateRequest(basic("carol:pass"), users));  // passwords compare exactly
    EXPECT_FALSE(AuthenticateRequest(basic("dave:x"), users));
    // A record without a password lets no one in and shifts nothing after it.
    EXPECT_FALSE(AuthenticateRequest(basic("alice:erin"), users));
    EXPECT_FALSE(AuthenticateRequest(basic("alice:"), users));
    EXPECT_FALSE(AuthenticateRequest(basic("erin:"), users));
    EXPECT_TRUE(AuthenticateRequest(basic("frank:pw"), users));
    EXPECT_FALSE(AuthenticateRequest("", users));
    EXPECT_FALSE(AuthenticateRequest(basic("carol:Pass"), {}));  // no list accepts nobody
}

}  // namespace
}  // namespace quorvane::responses
