#include "http/body_pieces.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/temp_folder.h"

namespace quorvane::http {
namespace {

// The bytes the pieces stand for, reading their slices from `file`.
std::string Bytes(const BodyPieces& pieces, const std::string& file) {
    std::string bytes;
    for (const BodyPart& part : pieces.Parts()) {
        bytes += part.head + file.substr(part.slice.first, part.slice.Length());
    }
    return bytes + pieces.Closing();
}

TEST(BodyPieces, EverySliceOfTextsAndFileSlicesIsTheSameBytesAsInMemory) {
    const std::string file = "0123456789abcdefghij";
    BodyPieces body;
    body.AddText("<");
    body.AddSlice(0, 8);
    body.AddText("[footer]");
    body.AddSlice(8, 12);
    body.AddText(">");
    const std::string whole = "<01234567[footer]89abcdefghij>";
    ASSERT_EQ(Bytes(body, file), whole);
    ASSERT_EQ(body.Length(), whole.size());
    for (uint64_t first = 0; first < whole.size(); ++first) {
        for (uint64_t last = first; last < whole.size(); ++last) {
            const BodyPieces slice = body.Slice({first, last});
            EXPECT_EQ(Bytes(slice, file), whole.substr(first, last - first + 1))
                << first << "-" << last;
            EXPECT_EQ(slice.Length(), last - first + 1);
        }
    }
    EXPECT_TRUE(body.Slice({9, 16}).IsText());
    EXPECT_TRUE(body.Slice({1, 8}).IsOneSlice());
    EXPECT_FALSE(body.IsOneSlice());
}

TEST(FindClosingHtmlTag, FindsTheFirstTagInAnyCaseAcrossWindowEdges) {
    testing::TempFolder folder;
    constexpr size_t kWindow = 64 * 1024;
    struct Case {
        std::string text;
        std::optional<uint64_t> at;
    };
    const Case cases[] = {
        {"<p>x</p></HTML>tail</html>", 8},
        {"</html>", 0},
        {"no tag at all", std::nullopt},
        {"</htm", std::nullopt},
        {std::string(kWindow - 3, 'a') + "</hTmL>", kWindow - 3},  // cut by the first window
        {std::string(kWindow - 7, 'a') + "</html>", kWindow - 7},
        {std::string(3 * kWindow + 5, 'a') + "</html>", 3 * kWindow + 5},
        {std::string(kWindow - 4, 'a') + "</ht" + std::string(kWindow, 'b'), std::nullopt},
    };
    for (const Case& c : cases) {
        const auto path = folder.Write("page.htm", c.text);
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_EQ(FindClosingHtmlTag(fd, c.text.size()), c.at) << c.text.substr(0, 40);
        ::close(fd);
    }
}

}  // namespace
}  // namespace quorvane::http
