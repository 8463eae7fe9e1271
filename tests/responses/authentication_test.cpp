#include "responses/authentication.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace quorvane::responses {
namespace {

TEST(Base64, DecodesPaddingAndRefusesMalformedText) {
    EXPECT_EQ(Base64Decode("Ym9iOnNlY3JldA=="), "bob:secret");
    EXPECT_EQ(Base64Decode("YQ=="), "a");
    EXPECT_EQ(Base64Decode("YWI="), "ab");
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
}

TEST(AuthenticateRequest, NamesIgnoreCasePasswordsDoNotAndTheLastRecordDecides) {
    testing::TempFolder folder;
    const auto users = config::ReadRecords(
        folder.Write(
            "users.lst",
            "\"Bob\",\"first\"\r\n\"carol\",\"Pass\"\r\n\"bob\",\"second\"\r\n\"alice\"\r\n"
            "\"erin\",\"\"\r\n\"frank\",\"pw\"\r\n"),
        2);
    const std::pair<std::string_view, bool> cases[] = {
        {"Basic Qk9COnNlY29uZA==", true},   // BOB:second
        {"Basic Ym9iOmZpcnN0", false},      // bob:first
        {"Basic Q2Fyb2w6UGFzcw==", true},   // Carol:Pass
        {"Basic Y2Fyb2w6cGFzcw==", false},  // carol:pass
        {"Basic ZGF2ZTp4", false},          // dave:x
        // A record without a password lets no one in and shifts nothing after it.
        {"Basic YWxpY2U6ZXJpbg==", false},  // alice:erin
        {"Basic YWxpY2U6", false},          // alice:
        {"Basic ZXJpbjo=", false},          // erin:
        {"Basic ZnJhbms6cHc=", true},       // frank:pw
        {"", false},
    };
    for (const auto& [authorization, accepted] : cases) {
        EXPECT_EQ(AuthenticateRequest(authorization, users), accepted) << authorization;
    }
    EXPECT_FALSE(AuthenticateRequest("Basic Q2Fyb2w6UGFzcw==", {}));  // no list accepts nobody
}

}  // namespace
}  // namespace quorvane::responses
