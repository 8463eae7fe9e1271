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
    const auto users = config::ReadUsers(folder.Write(
        "users.lst",
        "\"Bob\",\"first\"\r\n\"carol\",\"Pass\"\r\n\"bob\",\"second\"\r\n\"alice\"\r\n"
        "\"erin\",\"\"\r\n\"frank\",\"pw\"\r\n\"\",\"pw\"\r\n"
        "\"gina\",\"$6$saltstring$svn8UoSVapNtMuq1ukKS4tPQd8iKwSMHWjl/O817G3uBnIFNjnQJuesI68u4"
        "OTLiBFdcbYEdFCoEOfaS35inz1\"\r\n"));
    // The user is named as stored, whatever letter case the client used.
    const std::pair<std::string_view, std::optional<std::string>> cases[] = {
        {"Basic Qk9COnNlY29uZA==", "bob"},         // BOB:second
        {"Basic Ym9iOmZpcnN0", std::nullopt},      // bob:first
        {"Basic Q2Fyb2w6UGFzcw==", "carol"},       // Carol:Pass
        {"Basic Y2Fyb2w6cGFzcw==", std::nullopt},  // carol:pass
        {"Basic ZGF2ZTp4", std::nullopt},          // dave:x
        // A record without a password lets no one in and shifts nothing after it.
        {"Basic YWxpY2U6ZXJpbg==", std::nullopt},          // alice:erin
        {"Basic YWxpY2U6", std::nullopt},                  // alice:
        {"Basic ZXJpbjo=", std::nullopt},                  // erin:
        {"Basic ZnJhbms6cHc=", "frank"},                   // frank:pw
        {"Basic OnB3", std::nullopt},                      // :pw, against a record without a name
        {"Basic R2luYTpIZWxsbyB3b3JsZCE=", "gina"},        // Gina:Hello world!, against its hash
        {"Basic Z2luYTpoZWxsbyB3b3JsZCE=", std::nullopt},  // gina:hello world!
        {"", std::nullopt},
    };
    for (const auto& [authorization, user] : cases) {
        EXPECT_EQ(AuthenticateRequest(authorization, users), user) << authorization;
    }
    EXPECT_FALSE(AuthenticateRequest("Basic Q2Fyb2w6UGFzcw==", {}));  // no list accepts nobody
}

}  // namespace
}  // namespace quorvane::responses
