#include "http/byte_ranges.h"

#include <gtest/gtest.h>

#include <limits>

#include "http/byteranges_body.h"
#include "server/limits.h"

namespace quorvane::http {
namespace {

constexpr uint64_t kLargest = std::numeric_limits<uint64_t>::max();

struct RangeCase {
    const char* value;
    uint64_t length;
    RangeVerdict verdict;
    std::vector<ByteRange> ranges;
};

std::ostream& operator<<(std::ostream& out, const RangeCase& c) {
    return out << '"' << c.value << "\" of " << c.length;
}

class ParseRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(ParseRangeTest, GivesTheVerdictAndRanges) {
    const RangeRequest request = ParseRange(GetParam().value, GetParam().length);
    EXPECT_EQ(request.verdict, GetParam().verdict);
    EXPECT_EQ(request.ranges, GetParam().ranges);
}

constexpr auto kPartial = RangeVerdict::kPartial;
constexpr auto kIgnore = RangeVerdict::kIgnore;
constexpr auto kUnsatisfiable = RangeVerdict::kUnsatisfiable;

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseRangeTest,
    ::testing::Values(
        RangeCase{"bytes=0-499", 1234, kPartial, {{0, 499}}},
        RangeCase{"bytes=500-", 1234, kPartial, {{500, 1233}}},
        RangeCase{"bytes=-500", 1234, kPartial, {{734, 1233}}},
        RangeCase{"bytes=-5000", 1234, kPartial, {{0, 1233}}},
        RangeCase{"bytes=1000-5000", 1234, kPartial, {{1000, 1233}}},
        RangeCase{"bytes=0-", 1234, kPartial, {{0, 1233}}},
        RangeCase{"Bytes=7-7", 1234, kPartial, {{7, 7}}},
        RangeCase{" bytes=0-0, ,-1 ", 1234, kPartial, {{0, 0}, {1233, 1233}}},
        // Several: kept in the asked order unless some overlap or touch.
        RangeCase{"bytes=500-599,0-99", 1234, kPartial, {{500, 599}, {0, 99}}},
        RangeCase{"bytes=0-99,50-149,150-199", 1234, kPartial, {{0, 199}}},
        RangeCase{"bytes=200-299,0-99,100-150", 1234, kPartial, {{0, 150}, {200, 299}}},
        RangeCase{"bytes=0-10,2-3", 1234, kPartial, {{0, 10}}},
        RangeCase{"bytes=2000-3000,0-1", 1234, kPartial, {{0, 1}}},
        RangeCase{"bytes=-0,0-0", 1234, kPartial, {{0, 0}}},
        // Nothing satisfiable: 416.
        RangeCase{"bytes=-0", 1234, kUnsatisfiable, {}},
        RangeCase{"bytes=1234-", 1234, kUnsatisfiable, {}},
        RangeCase{"bytes=2000-3000,1234-1300", 1234, kUnsatisfiable, {}},
        RangeCase{"bytes=0-", 0, kUnsatisfiable, {}}, RangeCase{"bytes=-5", 0, kUnsatisfiable, {}},
        // Not a byte range, or outside the grammar: the header is ignored.
        RangeCase{"bytes=5-1", 1234, kIgnore, {}}, RangeCase{"bytes=0-1,5-1", 1234, kIgnore, {}},
        RangeCase{"items=0-1", 1234, kIgnore, {}}, RangeCase{"bytes 0-1", 1234, kIgnore, {}},
        RangeCase{"bytes=", 1234, kIgnore, {}}, RangeCase{"bytes=,", 1234, kIgnore, {}},
        RangeCase{"bytes=-", 1234, kIgnore, {}}, RangeCase{"bytes=1", 1234, kIgnore, {}},
        RangeCase{"bytes=0-1-2", 1234, kIgnore, {}}, RangeCase{"bytes=a-b", 1234, kIgnore, {}},
        RangeCase{"bytes=+1-2", 1234, kIgnore, {}}, RangeCase{"bytes=0 -1", 1234, kIgnore, {}},
        RangeCase{"", 1234, kIgnore, {}},
        // Numbers past 64 bits are larger than any end.
        RangeCase{"bytes=18446744073709551616-", 1234, kUnsatisfiable, {}},
        RangeCase{"bytes=0-99999999999999999999999", 1234, kPartial, {{0, 1233}}},
        RangeCase{"bytes=-99999999999999999999999", 1234, kPartial, {{0, 1233}}},
        RangeCase{"bytes=99999999999999999999-99999999999999999998", 1234, kIgnore, {}},
        RangeCase{"bytes=00000000000000000000000007-99999999999999999999", 10, kPartial, {{7, 9}}},
        RangeCase{"bytes=18446744073709551615-", kLargest, kUnsatisfiable, {}},
        RangeCase{"bytes=-1", kLargest, kPartial, {{kLargest - 1, kLargest - 1}}},
        RangeCase{"bytes=0-", kLargest, kPartial, {{0, kLargest - 1}}}));

std::string ManyRanges(int count) {
    std::string value = "bytes=";
    for (int i = 0; i < count; ++i) {
        value += (i ? "," : "") + std::to_string(2 * i) + "-" + std::to_string(2 * i);
    }
    return value;
}

TEST(ParseRange, ManyRangesAreIgnoredPastTheBound) {
    EXPECT_EQ(ParseRange(ManyRanges(kMaxRanges), 1000).ranges.size(), kMaxRanges);
    EXPECT_EQ(ParseRange(ManyRanges(kMaxRanges + 1), 1000).verdict, RangeVerdict::kIgnore);
    EXPECT_EQ(ParseRange(ManyRanges(100), 1000).verdict, RangeVerdict::kIgnore);
    // Counted as asked, before any merging.
    std::string sameByte = "bytes=0-0";
    for (int i = 1; i < 100; ++i) {
        sameByte += ",0-0";
    }
    EXPECT_EQ(ParseRange(sameByte, 1000).verdict, RangeVerdict::kIgnore);
}

TEST(ByterangesBody, LaysOutPartsAroundTheFileSlices) {
    const std::string file = "0123456789";
    const ByterangesBody body = LayOutByteranges({{7, 9}, {0, 1}}, 10, "text/plain", "XYZ");
    EXPECT_EQ(body.contentType, "multipart/byteranges; boundary=XYZ");
    std::string sent;
    for (const BodyPart& part : body.parts) {
        sent += part.head + file.substr(part.slice.first, part.slice.Length());
    }
    sent += body.closing;
    EXPECT_EQ(sent,
              "--XYZ\r\nContent-Type: text/plain\r\nContent-Range: bytes 7-9/10\r\n\r\n789"
              "\r\n--XYZ\r\nContent-Type: text/plain\r\nContent-Range: bytes 0-1/10\r\n\r\n01"
              "\r\n--XYZ--\r\n");
    EXPECT_EQ(body.length, sent.size());

    const ByterangesBody untyped = LayOutByteranges({{0, 0}, {2, 2}}, 3, "", "B");
    EXPECT_EQ(untyped.parts[1].head, "\r\n--B\r\nContent-Range: bytes 2-2/3\r\n\r\n");
}

}  // namespace
}  // namespace quorvane::http
