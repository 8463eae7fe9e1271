// The access log on disk: private to its owner, bounded per record, and moved
// aside once it reaches its size limit.
#include "server/access_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <string>

#include "server/limits.h"
#include "support/test_site.h"

namespace quorvane::server {
namespace {

using testing::ModeOf;

TEST(AccessLogLine, RecordsTheRawLineWithControlCharactersEscaped) {
    std::tm local{};
    local.tm_year = 126;
    local.tm_mon = 11;
    local.tm_mday = 5;
    local.tm_hour = 15;
    local.tm_min = 46;
    local.tm_sec = 9;
    local.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(std::mktime(&local));
    EXPECT_EQ(AccessLogLine("10.0.0.7", when, "GET /a%20b HTTP/1.0\r"),
              "10.0.0.7,[05/Dec/2026:15:46:09],GET /a%20b HTTP/1.0\r");
    EXPECT_EQ(AccessLogLine("", when, ""), ",[05/Dec/2026:15:46:09],");
    EXPECT_EQ(AccessLogLine("1.2.3.4", when, "GET /\x1b[2J\rfake\t HTTP/1.0\r"),
              "1.2.3.4,[05/Dec/2026:15:46:09],GET /\\x1B[2J\\x0Dfake\\x09 HTTP/1.0\r");
}

TEST(AccessLog, IsPrivateFromItsFirstByteAndNarrowsAnOldOne) {
    testing::TempFolder folder;
    const auto path = folder.Path() / "quorvane.log";
    for (bool empty : {true, false}) {
        std::filesystem::remove(path);
        AccessLog log(path);
        ASSERT_TRUE(empty ? log.OpenEmpty() : log.OpenForAppend());
        EXPECT_EQ(ModeOf(path), 0600u);
    }
    ::chmod(path.c_str(), 0644);
    AccessLog log(path);
    ASSERT_TRUE(log.OpenForAppend());
    EXPECT_EQ(ModeOf(path), 0600u);
}

TEST(AccessLog, AFullLogIsMovedAsideOnceAndSaidSo) {
    testing::TempFolder folder;
    std::string told;
    AccessLog log(folder.Path() / "quorvane.log", [&](std::string_view text) { told += text; });
    log.SetSizeLimit(100);
    ASSERT_TRUE(log.OpenEmpty());
    const std::string record(40, 'a');  // 42 bytes with its line end
    for (char c : std::string("abcdefg")) {
        log.Write(std::string(40, c));
        log.Flush();
    }
    // Two records fit under the limit; each third starts a new file.
    EXPECT_EQ(folder.Read("quorvane.log"), std::string(40, 'g') + "\r\n");
    EXPECT_EQ(folder.Read("quorvane.log.1"),
              std::string(40, 'e') + "\r\n" + std::string(40, 'f') + "\r\n");
    EXPECT_EQ(ModeOf(folder.Path() / "quorvane.log.1"), 0600u);
    const std::string notice =
        "The access log quorvane.log reached its size limit; it was moved to quorvane.log.1 and "
        "a new one was started.\r\n";
    EXPECT_EQ(told, notice + notice + notice);
}

TEST(AccessLog, ALongTargetIsRecordedCutWithAMark) {
    testing::RunningSite site;
    const std::string target = "/" + std::string(15000, 'x') + ".htm";
    const std::string line = "GET " + target + " HTTP/1.0";
    for (int i = 0; i < 20; ++i) {
        testing::Exchange(site.Port(), line + "\r\n\r\n");
    }
    site.engine.StopListener();
    const std::string records = site.folder.Read("quorvane.log");
    EXPECT_LT(records.size(), 20 * (kLoggedTextLimit + 100));
    const std::string mark =
        "[... " + std::to_string(line.size() - kLoggedTextLimit) + " more bytes not logged]";
    EXPECT_NE(records.find(line.substr(0, kLoggedTextLimit) + mark + "\r\r\n"), std::string::npos);
    EXPECT_LT(site.observer.Log().size(), 20 * (kLoggedTextLimit + 100));
}

}  // namespace
}  // namespace quorvane::server
