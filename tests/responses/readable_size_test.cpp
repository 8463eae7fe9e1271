#include "responses/readable_size.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace quorvane::responses {
namespace {

TEST(ReadableSizeText, DecimalUnitsWithOneDecimalRoundedHalfUp) {
    const std::pair<uint64_t, std::string_view> cases[] = {
        {0, "0 B"},
        {1, "1 B"},
        {512, "512 B"},
        {999, "999 B"},
        {1000, "1.0 KB"},
        {1049, "1.0 KB"},
        {1050, "1.1 KB"},
        {4200, "4.2 KB"},
        {999'949, "999.9 KB"},
        // Rounding up to 1000 of a unit names the next one.
        {999'950, "1.0 MB"},
        {4'200'000, "4.2 MB"},
        {1'000'000'000, "1.0 GB"},
        {1'073'741'824, "1.1 GB"},
        {999'999'999'999, "1.0 TB"},
        {1'500'000'000'000'000, "1.5 PB"},
        {UINT64_MAX, "18.4 EB"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(ReadableSizeText(bytes), text) << bytes;
    }
}

}  // namespace
}  // namespace quorvane::responses
