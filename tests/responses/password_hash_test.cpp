#include "responses/password_hash.h"

#include <gtest/gtest.h>

#include "support/child_process.h"

namespace quorvane::responses {
namespace {

struct Hashed {
    std::string what;
    std::string stored;
    std::string password;
};

// Each hash verifies its own password alone: not another letter case, not
// the hash text itself, not nothing.
void ExpectVerifiesOnlyItsPassword(const Hashed& hashed) {
    SCOPED_TRACE(hashed.what + ": " + hashed.stored);
    EXPECT_TRUE(IsHashedPassword(hashed.stored));
    EXPECT_TRUE(VerifyPassword(hashed.stored, hashed.password));
    std::string otherCase = hashed.password;
    otherCase[0] ^= 0x20;
    for (const std::string& wrong :
         {otherCase, hashed.stored, std::string(), hashed.password + "x"}) {
        EXPECT_FALSE(VerifyPassword(hashed.stored, wrong)) << wrong;
    }
}

TEST(PasswordHash, KnownHashesOfEachFormVerify) {
    const Hashed known[] = {
        {"yescrypt", "$y$j9T$mlXq/M3LLjy5KsazvkEJA.$SFLXJEs8ZE4m.W1D2buFAn5kcfqHho/aoQSh7j7DyG9",
         "quorvane"},
        {"bcrypt", "$2b$05$CCCCCCCCCCCCCCCCCCCCC.E5YPO9kmyuRGyh0XouQYb4YMJKvyOeW", "U*U"},
        {"bcrypt", "$2y$05$CCCCCCCCCCCCCCCCCCCCC.E5YPO9kmyuRGyh0XouQYb4YMJKvyOeW", "U*U"},
        {"SHA-512-crypt",
         "$6$saltstring$svn8UoSVapNtMuq1ukKS4tPQd8iKwSMHWjl/"
         "O817G3uBnIFNjnQJuesI68u4OTLiBFdcbYEdFCoEOfaS35inz1",
         "Hello world!"},
    };
    for (const Hashed& hashed : known) {
        ExpectVerifiesOnlyItsPassword(hashed);
    }
}

TEST(PasswordHash, HashesMadeByOtherToolsVerify) {
    const std::pair<std::string, std::string> tools[] = {
        {"mkpasswd", "mkpasswd -m yescrypt -s"},
        {"mkpasswd", "mkpasswd -m bcrypt -s"},
        {"openssl", "openssl passwd -6 -stdin"},
    };
    std::string missing;
    for (const auto& [tool, command] : tools) {
        if (testing::RunCommand("command -v " + tool + " >/dev/null").status != 0) {
            missing += " " + tool;
            continue;
        }
        const testing::CommandResult made = testing::RunCommand("printf %s Tool-made | " + command);
        ASSERT_EQ(made.status, 0) << command;
        ExpectVerifiesOnlyItsPassword(
            {command, made.output.substr(0, made.output.find_last_not_of('\n') + 1), "Tool-made"});
    }
    if (!missing.empty()) {
        GTEST_SKIP() << "not installed:" << missing;
    }
}

TEST(PasswordHash, OtherTextIsAPasswordInClearAndAnyOtherHashAcceptsNothing) {
    for (std::string_view stored : {"secret", "$", "$$x", "a$1$b", "!secret", "$ 1$x"}) {
        EXPECT_TRUE(IsStoredInClear(stored)) << stored;
        EXPECT_TRUE(VerifyPassword(stored, stored)) << stored;
        EXPECT_FALSE(VerifyPassword(stored, std::string(stored) + " ")) << stored;
    }
    EXPECT_FALSE(VerifyPassword("secret", "SECRET"));
    // Hashes of kinds not checked here (MD5, SHA-256, $2a$, scrypt, argon2),
    // locked entries and damaged hashes: their own text is no password.
    for (std::string_view damaged :
         {"$2b$05$tooshort", "$2b$", "$y$", "$y$j9T$", "$6$", "$1$salt$x", "$Y$j9T$abc",
          "$5$salt$hash", "$2a$05$abcdefghijklmnopqrstuuMvLh3OtxNflkBcuKDa7dl2LsQnbxGq",
          "$apr1$salt$hash", "$7$C6..../....SodiumChloride$x", "$argon2id$v=19$m=65536$x",
          "*", "!", "!!", "!$6$salt$x"}) {
        EXPECT_FALSE(IsStoredInClear(damaged)) << damaged;
        for (std::string_view given : {std::string_view(), damaged, std::string_view("x")}) {
            EXPECT_FALSE(VerifyPassword(damaged, given)) << damaged << " / " << given;
        }
    }
}

TEST(PasswordHash, MadeHashesAreYescryptUnderFreshSalts) {
    const std::optional<std::string> first = HashPassword("pa:ss\"word");
    const std::optional<std::string> second = HashPassword("pa:ss\"word");
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->starts_with("$y$"));
    EXPECT_NE(*first, *second);
    EXPECT_TRUE(VerifyPassword(*second, "pa:ss\"word"));
    EXPECT_FALSE(VerifyPassword(*second, "pa:ss\"wor"));
    EXPECT_FALSE(HashPassword(std::string("a\0b", 3)).has_value());
}

}  // namespace
}  // namespace quorvane::responses
