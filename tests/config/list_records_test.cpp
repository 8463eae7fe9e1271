#include "config/list_records.h"

#include <gtest/gtest.h>

namespace quorvane::config {
namespace {

TEST(VirtualDirectoryRecord, TheWriteFieldsAreOptionalAndOnlyYesGrants) {
    struct Case {
        std::string_view line;
        bool secure, scripts, programs, uploads, changes;
    };
    const Case cases[] = {
        // Five fields: every existing file keeps its meaning.
        {R"("/d/","x","Yes","No","Yes")", true, false, true, false, false},
        {R"("/d/","x","No","No","No","Yes","No")", false, false, false, true, false},
        {R"("/d/","x","No","No","No","No","Yes")", false, false, false, false, true},
        {R"("/d/","x","No","No","No","yes","YES")", false, false, false, false, false},
        {R"("/d/","x","No","No","No","Yes")", false, false, false, true, false},
    };
    for (const Case& c : cases) {
        const std::vector<VirtualDirectory> read = ParseDirectories(c.line);
        ASSERT_EQ(read.size(), 1u) << c.line;
        const VirtualDirectory& d = read.front();
        EXPECT_EQ(std::tuple(d.secure, d.scripts, d.programs, d.uploads, d.changes),
                  std::tuple(c.secure, c.scripts, c.programs, c.uploads, c.changes))
            << c.line;
        EXPECT_EQ(ParseDirectories(FormatRecord(d.ToRecord())).front(), d) << c.line;
    }
    EXPECT_EQ(
        FormatRecord(VirtualDirectory{"/", "www", false, false, false, true, true}.ToRecord()),
        "\"/\",\"www\",\"No\",\"No\",\"No\",\"Yes\",\"Yes\"\r\n");
}

TEST(VirtualDirectoryRecord, TheUsersFieldNamesWhoMayEnterAndIsLeftOutWhenEmpty) {
    const std::pair<std::string_view, std::vector<std::string>> cases[] = {
        {R"("/t/","t","Yes","No","No","No","No","alice bob")", {"alice", "bob"}},
        {R"("/t/","t","Yes","No","No","No","No","  alice   bob ")", {"alice", "bob"}},
        {R"("/t/","t","Yes","No","No","No","No","")", {}},
        {R"("/t/","t","Yes","No","No")", {}},
    };
    for (const auto& [line, users] : cases) {
        const VirtualDirectory read = ParseDirectories(line).front();
        EXPECT_EQ(read.users, users) << line;
        EXPECT_EQ(read.Admits("alice"), true) << line;
        EXPECT_EQ(read.Admits("ALICE"), true) << line;  // as sign-in compares names
        EXPECT_EQ(read.Admits("mallory"), users.empty()) << line;
        EXPECT_EQ(ParseDirectories(FormatRecord(read.ToRecord())).front(), read) << line;
    }
    VirtualDirectory team{"/t/", "t", true};
    EXPECT_EQ(team.ToRecord().size(), 7u);
    team.users = {"alice", "bob"};
    EXPECT_EQ(FormatRecord(team.ToRecord()),
              "\"/t/\",\"t\",\"Yes\",\"No\",\"No\",\"No\",\"No\",\"alice bob\"\r\n");
}

}  // namespace
}  // namespace quorvane::config
