// Thumbnails made by the real decoder child, and by stand-ins that hang, fail
// or count, through the maker's coroutine on a test's own event loop.
#include "thumbnails/thumbnail_maker.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips.h>

#include <asio/co_spawn.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>
#include <fstream>
#include <sstream>

#include "support/child_process.h"
#include "support/temp_folder.h"

namespace quorvane::thumbnails {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace asio::experimental::awaitable_operators;
using config::FileHandle;

constexpr const char* kThumbnailer = QUORVANE_THUMBNAILER_PATH;

// What a thumbnail is, read back with libvips.
struct Picture {
    int width = 0;
    int height = 0;
    int bands = 0;
    std::string loader;
};

std::string ReadAll(int fd) {
    std::string content;
    char chunk[65536];
    for (off_t at = 0;;) {
        const ssize_t size = ::pread(fd, chunk, sizeof chunk, at);
        if (size <= 0) {
            return content;
        }
        content.append(chunk, static_cast<size_t>(size));
        at += size;
    }
}

Picture Read(const FileHandle& thumbnail) {
    const std::string content = ReadAll(thumbnail.Get());
    Picture picture;
    const char* loader = vips_foreign_find_load_buffer(content.data(), content.size());
    picture.loader = loader != nullptr ? loader : "";
    VipsImage* image = vips_image_new_from_buffer(content.data(), content.size(), "", nullptr);
    if (image != nullptr) {
        picture.width = vips_image_get_width(image);
        picture.height = vips_image_get_height(image);
        picture.bands = vips_image_get_bands(image);
        g_object_unref(image);
    }
    vips_error_clear();
    return picture;
}

ino_t InodeOf(const FileHandle& file) {
    struct stat status = {};
    ::fstat(file.Get(), &status);
    return status.st_ino;
}

std::string BigEndian(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::uint32_t Crc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFU;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
        }
    }
    return ~crc;
}

std::string PngChunk(std::string_view type, std::string_view data) {
    const std::string typed = std::string(type) + std::string(data);
    return BigEndian(static_cast<std::uint32_t>(data.size())) + typed + BigEndian(Crc32(typed));
}

// A PNG whose header claims width x height colour pixels, followed by the
// start of their rows (a zlib stream of zeros in one stored block).
std::string PngClaiming(std::uint32_t width, std::uint32_t height) {
    const std::string header =
        BigEndian(width) + BigEndian(height) + std::string("\x08\x02\x00\x00\x00", 5);
    const std::uint16_t length = 1024;
    std::string rows("\x78\x01\x00", 3);  // deflate; a stored block, more to come
    rows += {static_cast<char>(length & 0xFF), static_cast<char>(length >> 8),
             static_cast<char>(~length & 0xFF), static_cast<char>((~length >> 8) & 0xFF)};
    rows += std::string(length, '\0');
    return "\x89PNG\r\n\x1a\n" + PngChunk("IHDR", header) + PngChunk("IDAT", rows) +
           PngChunk("IEND", "");
}

class ThumbnailMakerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(VIPS_INIT("thumbnails_tests"), 0); }

    fs::path Folder() const { return temp_.Path(); }
    fs::path CacheFolder() const { return Folder() / "cache"; }

    std::unique_ptr<ThumbnailMaker> Maker(const fs::path& program = kThumbnailer,
                                          ThumbnailMaker::Limits limits = {}) const {
        std::optional<ThumbnailCache> cache = ThumbnailCache::Open(CacheFolder());
        if (!cache) {
            throw std::runtime_error("the cache did not open");
        }
        return std::make_unique<ThumbnailMaker>(program, std::move(*cache), limits);
    }

    // A picture of this size: `bands` 3 for colour, 4 with alpha; the type
    // follows the name.
    fs::path MakeImage(std::string_view name, int width, int height, int bands = 3) const {
        const fs::path path = Folder() / name;
        VipsImage* black = nullptr;
        VipsImage* grey = nullptr;
        const bool written = vips_black(&black, width, height, "bands", bands, nullptr) == 0 &&
                             vips_linear1(black, &grey, 1.0, 120.0, "uchar", TRUE, nullptr) == 0 &&
                             vips_image_write_to_file(grey, path.c_str(), nullptr) == 0;
        g_object_unref(black);
        if (grey != nullptr) {
            g_object_unref(grey);
        }
        if (!written) {
            throw std::runtime_error("libvips could not write " + path.string());
        }
        return path;
    }

    // A stand-in decoder: a shell script in the test's folder, which it
    // finds as $d.
    fs::path FakeDecoder(std::string_view body) const {
        return temp_.WriteScript("fake.sh", "d=$(dirname \"$0\")\n" + std::string(body));
    }

    static asio::awaitable<std::optional<FileHandle>> Request(ThumbnailMaker& maker,
                                                              fs::path source) {
        const FileHandle file(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat info = {};
        if (!file || ::fstat(file.Get(), &info) != 0) {
            co_return std::nullopt;
        }
        co_return co_await maker.Thumbnail(file, info);
    }

    // Asks for the thumbnails of these files at once and runs the loop until
    // every answer is in.
    std::vector<std::optional<FileHandle>> AskAll(ThumbnailMaker& maker,
                                                  const std::vector<fs::path>& sources) {
        std::vector<std::optional<FileHandle>> answers(sources.size());
        size_t answered = 0;
        for (size_t i = 0; i < sources.size(); ++i) {
            asio::co_spawn(io_, Request(maker, sources[i]),
                           [&, i](std::exception_ptr, std::optional<FileHandle> answer) {
                               answers[i] = std::move(answer);
                               ++answered;
                           });
        }
        io_.restart();
        io_.run_for(60s);
        EXPECT_EQ(answered, sources.size());
        return answers;
    }

    std::optional<FileHandle> Ask(ThumbnailMaker& maker, const fs::path& source) {
        return std::move(AskAll(maker, {source}).front());
    }

    bool MarkedFailed(const fs::path& source) const {
        struct stat info = {};
        ::stat(source.c_str(), &info);
        return fs::exists(CacheFolder() / ThumbnailKey::Of(info).FailureName());
    }

    size_t CountInCache(std::string_view extension) const {
        size_t count = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(CacheFolder())) {
            count += entry.path().extension() == extension ? 1 : 0;
        }
        return count;
    }

    std::vector<std::string> Lines(std::string_view name) const {
        std::istringstream text(temp_.Read(name));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    pid_t PidIn(std::string_view name) const {
        return static_cast<pid_t>(std::atoi(temp_.Read(name).c_str()));
    }

    // Runs the loop until the file has content (bounded).
    void RunUntilWritten(std::string_view name) {
        for (int round = 0; round < 1000 && temp_.Read(name).empty(); ++round) {
            io_.restart();
            io_.run_for(10ms);
        }
    }

    testing::TempFolder temp_;
    asio::io_context io_;  // after the folder: no child outlives its files
};

TEST_F(ThumbnailMakerTest, MakesBoundedWebpThumbnailsOfEachType) {
    const struct {
        std::string_view name;
        int width, height, bands;
        int thumbnailWidth, thumbnailHeight;
    } cases[] = {
        {"wide.jpg", 800, 400, 3, 256, 128},      {"tall.png", 100, 300, 4, 85, 256},
        {"square.webp", 1000, 1000, 4, 256, 256}, {"scan.tif", 300, 600, 3, 128, 256},
        {"small.gif", 40, 30, 3, 40, 30},  // never enlarged
    };
    auto maker = Maker();
    for (const auto& image : cases) {
        const std::optional<FileHandle> thumbnail =
            Ask(*maker, MakeImage(image.name, image.width, image.height, image.bands));
        ASSERT_TRUE(thumbnail) << image.name;
        const Picture picture = Read(*thumbnail);
        EXPECT_EQ(picture.loader, "VipsForeignLoadWebpBuffer") << image.name;
        // Rounding may take the shorter side a pixel either way.
        EXPECT_NEAR(picture.width, image.thumbnailWidth, 1) << image.name;
        EXPECT_NEAR(picture.height, image.thumbnailHeight, 1) << image.name;
        EXPECT_EQ(std::max(picture.width, picture.height),
                  std::max(image.thumbnailWidth, image.thumbnailHeight))
            << image.name;
        if (image.name.ends_with(".png") || image.name.ends_with(".webp")) {
            EXPECT_EQ(picture.bands, 4) << image.name << " lost its alpha";
        }
    }
    EXPECT_EQ(CountInCache(".webp"), std::size(cases));
}

TEST_F(ThumbnailMakerTest, FindsAKeptThumbnailWithoutADecoder) {
    const fs::path source = MakeImage("photo.jpg", 640, 480);
    const std::optional<FileHandle> made = Ask(*Maker(), source);
    ASSERT_TRUE(made);

    const fs::path fake = FakeDecoder("echo ran >> \"$d/runs\"\nexit 1\n");
    const std::optional<FileHandle> found = Ask(*Maker(fake), source);
    ASSERT_TRUE(found);
    EXPECT_EQ(InodeOf(*found), InodeOf(*made));
    EXPECT_FALSE(fs::exists(Folder() / "runs"));
}

TEST_F(ThumbnailMakerTest, AChangedSourceGetsANewThumbnail) {
    const fs::path source = MakeImage("photo.png", 300, 200);
    auto maker = Maker();
    const std::optional<FileHandle> before = Ask(*maker, source);
    ASSERT_TRUE(before);
    MakeImage("photo.png", 200, 300);
    const std::optional<FileHandle> after = Ask(*maker, source);
    ASSERT_TRUE(after);
    EXPECT_NE(InodeOf(*after), InodeOf(*before));
    EXPECT_GT(Read(*after).height, Read(*after).width);
    EXPECT_EQ(CountInCache(".webp"), 2U);
}

TEST_F(ThumbnailMakerTest, ASourceChangedWhileDecodedIsNotKept) {
    const fs::path source = temp_.Write("photo.jpg", "a photograph");
    const fs::path fake = FakeDecoder("touch -d 2001-01-01 \"$d/photo.jpg\"\nprintf thumbnail\n");
    EXPECT_FALSE(Ask(*Maker(fake), source));
    EXPECT_EQ(CountInCache(".webp"), 0U);
    EXPECT_EQ(CountInCache(".failed"), 0U);
}

TEST_F(ThumbnailMakerTest, WhatCannotBeDecodedFailsOnceAndIsRemembered) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage += static_cast<char>(i * 7 % 251);
    }
    const struct {
        std::string_view name;
        std::string content;
    } cases[] = {
        {"garbage.jpg", garbage},
        {"truncated.png", PngClaiming(64, 64).substr(0, 30)},
        // A header claiming 3.6 gigapixels: a decompression bomb.
        {"bomb.png", PngClaiming(60000, 60000)},
        {"drawing.png", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\"/>"},
        {"empty.gif", ""},
    };
    auto maker = Maker();
    const fs::path fake = FakeDecoder("echo ran >> \"$d/runs\"\nprintf thumbnail\n");
    auto standIn = Maker(fake);
    for (const auto& [name, content] : cases) {
        const fs::path source = temp_.Write(name, content);
        EXPECT_FALSE(Ask(*maker, source)) << name;
        EXPECT_TRUE(MarkedFailed(source)) << name;
        EXPECT_FALSE(Ask(*standIn, source)) << name << " was decoded again";
    }
    EXPECT_FALSE(fs::exists(Folder() / "runs"));
    // The failures cost their children only.
    EXPECT_TRUE(Ask(*maker, MakeImage("after.jpg", 300, 300)));
}

TEST_F(ThumbnailMakerTest, TheDecoderSaysWhyItRefused) {
    const struct {
        std::string_view name;
        std::string content;
        std::string_view reason;
    } cases[] = {
        {"bomb.png", PngClaiming(60000, 60000), "more pixels"},
        {"drawing.png", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\"/>",
         "blocked"},
        {"text.jpg", "just some text", "not in a known format"},
    };
    for (const auto& [name, content, reason] : cases) {
        const fs::path source = temp_.Write(name, content);
        const testing::CommandResult result = testing::RunCommand(
            "'" + std::string(kThumbnailer) + "' <'" + source.string() + "' 2>&1 >/dev/null", 30);
        EXPECT_NE(result.status, 0) << name;
        EXPECT_NE(result.output.find(reason), std::string::npos) << name << ": " << result.output;
    }
}

TEST_F(ThumbnailMakerTest, ADecoderPastItsTimeIsKilledAndTheSourceRemembered) {
    const fs::path source = temp_.Write("slow.jpg", "an image that takes long");
    const fs::path fake =
        FakeDecoder("sleep 3600 &\necho $! > \"$d/sleep.pid\"\necho $$ > \"$d/decoder.pid\"\nwait\n");
    auto maker = Maker(fake, {.workers = 1, .timeLimit = 300ms});
    EXPECT_FALSE(Ask(*maker, source));
    EXPECT_TRUE(MarkedFailed(source));
    EXPECT_TRUE(testing::ProcessEnded(PidIn("decoder.pid"), true));
    EXPECT_TRUE(testing::ProcessEnded(PidIn("sleep.pid"), false));
}

TEST_F(ThumbnailMakerTest, ARequestCalledOffKillsItsDecoder) {
    const fs::path source = temp_.Write("photo.jpg", "a photograph");
    const fs::path fake =
        FakeDecoder("sleep 3600 &\necho $! > \"$d/sleep.pid\"\necho $$ > \"$d/decoder.pid\"\nwait\n");
    auto maker = Maker(fake);
    // The request runs until the decoder has started, then is called off.
    auto started = [this]() -> asio::awaitable<void> {
        asio::steady_timer poll(co_await asio::this_coro::executor);
        for (int round = 0; round < 1000 && temp_.Read("decoder.pid").empty(); ++round) {
            poll.expires_after(10ms);
            co_await poll.async_wait(asio::use_awaitable);
        }
    };
    std::optional<size_t> winner;
    asio::co_spawn(
        io_,
        [&]() -> asio::awaitable<void> {
            winner = (co_await (Request(*maker, source) || started())).index();
        },
        [](std::exception_ptr) {});
    io_.run_for(30s);
    EXPECT_EQ(winner, 1U);
    EXPECT_TRUE(testing::ProcessEnded(PidIn("decoder.pid"), true));
    EXPECT_TRUE(testing::ProcessEnded(PidIn("sleep.pid"), false));
    EXPECT_FALSE(MarkedFailed(source));
}

TEST_F(ThumbnailMakerTest, AMakerDestroyedKillsItsDecoders) {
    const fs::path source = temp_.Write("photo.jpg", "a photograph");
    auto maker = Maker(FakeDecoder("echo $$ > \"$d/decoder.pid\"\nsleep 3600\n"));
    bool answered = false;
    std::optional<FileHandle> answer;
    asio::co_spawn(io_, Request(*maker, source),
                   [&](std::exception_ptr, std::optional<FileHandle> thumbnail) {
                       answered = true;
                       answer = std::move(thumbnail);
                   });
    RunUntilWritten("decoder.pid");
    ASSERT_GT(PidIn("decoder.pid"), 0);
    maker.reset();
    EXPECT_TRUE(testing::ProcessEnded(PidIn("decoder.pid"), true));
    io_.restart();
    io_.run_for(10s);
    EXPECT_TRUE(answered);
    EXPECT_FALSE(answer);
    EXPECT_FALSE(MarkedFailed(source));
}

TEST_F(ThumbnailMakerTest, AtMostTheWorkersDecodeAtOnce) {
    const fs::path fake = FakeDecoder(
        "mkdir \"$d/running.$$\"\n"
        "ls \"$d\" | grep -c '^running\\.' >> \"$d/counts\"\n"
        "sleep 0.2\n"
        "rmdir \"$d/running.$$\"\n"
        "printf thumbnail\n");
    std::vector<fs::path> sources;
    for (int i = 0; i < 5; ++i) {
        sources.push_back(temp_.Write("photo" + std::to_string(i) + ".jpg", std::to_string(i)));
    }
    auto maker = Maker(fake, {.workers = 2});
    for (const std::optional<FileHandle>& answer : AskAll(*maker, sources)) {
        EXPECT_TRUE(answer);
    }
    const std::vector<std::string> counts = Lines("counts");
    EXPECT_EQ(counts.size(), sources.size());
    for (const std::string& count : counts) {
        EXPECT_LE(std::stoi(count), 2);
    }
}

TEST_F(ThumbnailMakerTest, RequestsForOneSourceShareOneDecode) {
    const fs::path source = temp_.Write("photo.jpg", "a photograph");
    const fs::path fake = FakeDecoder("echo $$ >> \"$d/runs\"\nsleep 0.2\nprintf thumbnail\n");
    auto maker = Maker(fake);
    const std::vector<std::optional<FileHandle>> answers = AskAll(*maker, {source, source, source});
    EXPECT_EQ(Lines("runs").size(), 1U);
    for (const std::optional<FileHandle>& answer : answers) {
        ASSERT_TRUE(answer);
        EXPECT_EQ(InodeOf(*answer), InodeOf(*answers.front()));
        EXPECT_EQ(ReadAll(answer->Get()), "thumbnail");
    }
}

}  // namespace
}  // namespace quorvane::thumbnails
