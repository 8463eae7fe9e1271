#include "responses/validators.h"

#include <gtest/gtest.h>

namespace quorvane::responses {
namespace {

using namespace std::chrono;

struct stat FileStatus(off_t size, time_t seconds, long nanoseconds, ino_t inode = 7) {
    struct stat info {};
    info.st_dev = 3;
    info.st_ino = inode;
    info.st_size = size;
    info.st_mtim.tv_sec = seconds;
    info.st_mtim.tv_nsec = nanoseconds;
    return info;
}

TEST(LastModified, IsTheWholeSecondAndNeverAfterNow) {
    const sys_seconds now{seconds{1'700'000'100}};
    EXPECT_EQ(LastModified(FileStatus(1, 1'700'000'000, 999'999'999), now),
              sys_seconds{seconds{1'700'000'000}});
    EXPECT_EQ(LastModified(FileStatus(1, 1'800'000'000, 0), now), now);
}

}  // namespace
}  // namespace quorvane::responses
