#include "config/share_links.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>

#include "config/config_snapshots.h"
#include "support/temp_folder.h"

namespace quorvane::config {
namespace {

using namespace std::chrono_literals;

const Clock::time_point kMade = *ParseUtcText("2026-12-10T07:00:00Z");
const std::string kHash(64, 'a');

std::string Line(std::string_view hash, std::string_view expires, std::string_view left) {
    return FormatRecord({std::string(hash), "/srv/share", "2026-12-10T07:00:00Z",
                         std::string(expires), std::string(left), "for Ann"});
}

TEST(ShareLinkRecord, DamagedRecordsOpenNothing) {
    const std::pair<std::string, bool> cases[] = {
        {Line(kHash, "never", "unlimited"), true},
        {Line(kHash, "2026-12-11T07:00:00Z", "3"), true},
        {Line(std::string(63, 'a'), "never", "unlimited"), false},  // a hash cut short
        {Line(std::string(64, 'A'), "never", "unlimited"), false},  // not as written
        {Line(kHash, "tomorrow", "unlimited"), false},
        {Line(kHash, "2026-06-31T07:00:00Z", "unlimited"), false},  // no such day
        {Line(kHash, "never", "-1"), false},
        {Line(kHash, "never", ""), false},
        {FormatRecord({kHash, "relative/path", "2026-12-10T07:00:00Z", "never", "1", ""}), false},
        {FormatRecord({kHash, "/srv/share"}), false},
    };
    for (const auto& [line, valid] : cases) {
        const ShareLinks read = ParseShareLinks(line);
        ASSERT_EQ(read.size(), valid ? 1u : 0u) << line;
        if (valid) {
            EXPECT_EQ(FormatRecord(read.front().ToRecord()), line);
        }
    }
}

TEST(ShareLinkRecord, UsableUntilItExpiresOrItsDownloadsAreUsed) {
    ShareLink link{.tokenHash = kHash, .path = "/srv", .created = kMade};
    EXPECT_TRUE(link.Usable(kMade + 24h * 3650));
    link.expires = kMade + 1h;
    EXPECT_TRUE(link.Usable(kMade + 59min));
    EXPECT_FALSE(link.Usable(kMade + 1h));
    link.expires.reset();
    link.downloadsLeft = 1;
    EXPECT_TRUE(link.Usable(kMade));
    link.downloadsLeft = 0;
    EXPECT_FALSE(link.Usable(kMade));
}

TEST(ShareTokens, AreRandomAndOnlyTheExactTokenFindsItsLink) {
    std::set<std::string> made;
    for (int i = 0; i < 100; ++i) {
        const std::string token = MakeShareToken();
        EXPECT_TRUE(IsShareToken(token)) << token;
        made.insert(token);
    }
    EXPECT_EQ(made.size(), 100u);
    const std::string token = *made.begin();
    const ShareLinks links{{.tokenHash = HashShareToken(token), .path = "/srv", .created = kMade}};
    EXPECT_NE(FindShareLink(links, token, kMade), nullptr);
    std::string altered = token;
    altered[5] = altered[5] == 'A' ? 'B' : 'A';
    for (const std::string& wrong : {token.substr(0, token.size() - 1), token + "A", altered,
                                     HashShareToken(token), std::string()}) {
        EXPECT_EQ(FindShareLink(links, wrong, kMade), nullptr) << wrong;
    }
    // SHA-256 as any other tool makes it.
    EXPECT_EQ(HashShareToken("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(ShareLifetime, ReadsCountsOfHoursDaysAndWeeks) {
    const std::pair<std::string_view, std::optional<std::chrono::seconds>> valid[] = {
        {"1h", 1h}, {"1d", 24h}, {"7d", 168h}, {"2w", 336h}, {"never", std::nullopt}};
    for (const auto& [text, length] : valid) {
        const std::optional<ShareLifetime> read = ParseShareLifetime(text);
        ASSERT_TRUE(read) << text;
        EXPECT_EQ(read->length, length) << text;
    }
    for (std::string_view wrong : {"", "h", "0d", "-1d", "1y", "1.5d", "1 d", "99999999999999d"}) {
        EXPECT_FALSE(ParseShareLifetime(wrong)) << wrong;
    }
}

class SharesFileTest : public ::testing::Test {
  protected:
    ShareLink Link(char first, std::optional<uint64_t> left = std::nullopt) const {
        return {.tokenHash = std::string(1, first) + std::string(63, '0'),
                .path = "/srv/share",
                .created = kMade,
                .downloadsLeft = left};
    }

    testing::TempFolder folder;
    SharesFile file{folder.Path() / "shares.lst"};
};

TEST_F(SharesFileTest, DownloadsAreCountedDownAndKeptPrivate) {
    ASSERT_TRUE(file.Add(Link('a', 2)));
    ASSERT_TRUE(file.Add(Link('b')));
    struct stat info {};
    ASSERT_EQ(::stat((folder.Path() / "shares.lst").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const std::string a = Link('a').tokenHash;
    EXPECT_EQ(file.TakeDownload(a, kMade), SharesFile::Taken::kTaken);
    EXPECT_EQ(file.TakeDownload(a, kMade), SharesFile::Taken::kTaken);
    EXPECT_EQ(file.TakeDownload(a, kMade), SharesFile::Taken::kGone);
    EXPECT_EQ(file.Read()->front().downloadsLeft, 0u);
    EXPECT_EQ(file.TakeDownload(Link('b').tokenHash, kMade), SharesFile::Taken::kTaken);
    EXPECT_EQ(file.TakeDownload(Link('c').tokenHash, kMade), SharesFile::Taken::kGone);
}

TEST_F(SharesFileTest, RevokingNeedsAnIdNamingOneLinkAndKeepsEveryOtherLine) {
    folder.Write("shares.lst", "\"damaged\"\r\n");
    ASSERT_TRUE(file.Add(Link('a')));
    ShareLink twin = Link('a');
    twin.tokenHash[9] = '1';
    ASSERT_TRUE(file.Add(twin));
    ASSERT_TRUE(file.Add(Link('b')));
    EXPECT_EQ(file.Revoke("a000"), SharesFile::Revoked::kAmbiguous);
    EXPECT_EQ(file.Revoke("abc"), SharesFile::Revoked::kUnknown);  // too short to name one
    EXPECT_EQ(file.Revoke("zzzz"), SharesFile::Revoked::kUnknown);
    EXPECT_EQ(file.Revoke(twin.Id()), SharesFile::Revoked::kDone);
    EXPECT_EQ(file.Revoke(twin.Id()), SharesFile::Revoked::kUnknown);
    EXPECT_EQ(file.Revoke("B000"), SharesFile::Revoked::kDone);
    const ShareLinks left = *file.Read();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left.front(), Link('a'));
    EXPECT_EQ(folder.Read("shares.lst").rfind("\"damaged\"", 0), 0u)
        << "a line it cannot read stays";
}

TEST(ShareLinkSnapshots, AFileThatCannotBeReadOpensNoLinkAtAll) {
    testing::TempFolder folder;
    const auto path = folder.Write("shares.lst", Line(kHash, "never", "unlimited"));
    ConfigSnapshots snapshots;
    ASSERT_EQ(snapshots.Get<ShareLinks>(path)->size(), 1u);
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);  // cannot be read
    EXPECT_EQ(snapshots.Get<ShareLinks>(path), nullptr);
    std::filesystem::remove(path);
    EXPECT_TRUE(snapshots.Get<ShareLinks>(path)->empty());
}

}  // namespace
}  // namespace quorvane::config
