#include "http/chunked_body.h"

#include <gtest/gtest.h>

namespace quorvane::http {
namespace {

// Fed whole and a byte at a time, every body ends the same way.
TEST(ChunkedDecoder, ReadsBodiesInAnyPiecesAndRefusesMalformedOnes) {
    struct Case {
        std::string body;
        ChunkedDecoder::State state;
        std::string data;
        size_t left = 0;  // bytes after the body, for the next request
    };
    const Case cases[] = {
        {"5\r\nhello\r\n0\r\n\r\n", ChunkedDecoder::State::kDone, "hello"},
        {"5;ext=1\r\nhello\r\n6\r\n world\r\n0\r\nTrailer: x\r\n\r\nGET",
         ChunkedDecoder::State::kDone, "hello world", 3},
        {"A\nabcdefghij\n0\n\n", ChunkedDecoder::State::kDone, "abcdefghij"},
        {"5\r\nhello", ChunkedDecoder::State::kReading, "hello"},
        {"5\r\nhelloXX0\r\n\r\n", ChunkedDecoder::State::kInvalid, "hello"},
        {"zz\r\n", ChunkedDecoder::State::kInvalid, ""},
        {"\r\n", ChunkedDecoder::State::kInvalid, ""},
        {"1000000000000000\r\n", ChunkedDecoder::State::kInvalid, ""},
        {std::string(5000, '0'), ChunkedDecoder::State::kInvalid, ""},
    };
    for (const Case& c : cases) {
        for (size_t piece : {c.body.size(), size_t{1}}) {
            ChunkedDecoder decoder;
            std::string data;
            size_t taken = 0;
            while (taken < c.body.size() && decoder.state() == ChunkedDecoder::State::kReading) {
                taken += decoder.Feed(std::string_view(c.body).substr(taken, piece), data);
            }
            EXPECT_EQ(decoder.state(), c.state) << c.body << " in pieces of " << piece;
            EXPECT_EQ(data, c.data) << c.body;
            if (c.state == ChunkedDecoder::State::kDone) {
                EXPECT_EQ(c.body.size() - taken, c.left) << c.body;
                EXPECT_EQ(decoder.DataLength(), c.data.size());
            }
        }
    }
}

}  // namespace
}  // namespace quorvane::http
