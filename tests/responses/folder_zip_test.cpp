#include "responses/folder_zip.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <sstream>

#include "support/child_process.h"
#include "support/temp_folder.h"

namespace quorvane::responses {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using Names = std::vector<std::string>;

bool AdmitAll(const std::vector<std::string>&, const struct stat&, bool) {
    return true;
}

// Reads a zip back as Python's zipfile does, one line per entry: the name's
// UTF-8 in hex, the compression, the size, the permission bits, the time of
// day it holds and the content in hex. "bad zip" when it is not one.
constexpr std::string_view kReader = R"(import sys, zipfile
try:
    with zipfile.ZipFile(sys.argv[1]) as z:
        for i in z.infolist():
            print(i.filename.encode('utf-8').hex(), i.compress_type, i.file_size,
                  oct((i.external_attr >> 16) & 0o777), '-'.join(map(str, i.date_time)),
                  z.read(i).hex() or '-')
        print('testzip', z.testzip())
except zipfile.BadZipFile as e:
    print('bad zip')
    sys.exit(3)
)";

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        hex += kDigits[static_cast<unsigned char>(c) >> 4];
        hex += kDigits[static_cast<unsigned char>(c) & 0xF];
    }
    return hex;
}

// The zip-held time of day of a file: local time, seconds halved.
std::string DosTime(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    struct tm local {};
    ::localtime_r(&info.st_mtime, &local);
    return std::to_string(local.tm_year + 1900) + "-" + std::to_string(local.tm_mon + 1) + "-" +
           std::to_string(local.tm_mday) + "-" + std::to_string(local.tm_hour) + "-" +
           std::to_string(local.tm_min) + "-" + std::to_string(local.tm_sec & ~1);
}

struct Streamed {
    std::string bytes;
    size_t largestPiece = 0;
    size_t pieces = 0;
};

Streamed StreamAll(http::StreamedBody& body) {
    Streamed streamed;
    for (; streamed.pieces < 100000; ++streamed.pieces) {
        const std::string_view piece = body.Next();
        if (piece.empty()) {
            break;
        }
        streamed.bytes += piece;
        streamed.largestPiece = std::max(streamed.largestPiece, piece.size());
    }
    return streamed;
}

class FolderZipTest : public ::testing::Test {
  protected:
    fs::path Base() const { return site.Path() / "site"; }
    void File(const std::string& relative, std::string_view content) const {
        site.Write("site/" + relative, content);
    }
    FolderZip Zip(Names start = {}, ZipChoice choice = {}, WalkLimits limits = {}) const {
        return FolderZip(FolderWalk(Base(), std::move(start), AdmitAll, limits), std::move(choice));
    }
    // What Python reads from these bytes, line by line.
    Lines ReadBack(const std::string& zip) const {
        site.Write("reader.py", kReader);
        site.Write("out.zip", zip);
        const testing::CommandResult read =
            testing::RunCommand("python3 " + (site.Path() / "reader.py").string() + " " +
                                (site.Path() / "out.zip").string());
        Lines lines;
        std::istringstream in(read.output);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    Lines NamesIn(const std::string& zip) const {
        Lines names;
        for (const std::string& line : ReadBack(zip)) {
            if (line.starts_with("testzip") || line.starts_with("bad zip")) {
                names.push_back(line);
                continue;
            }
            const std::string hex = line.substr(0, line.find(' '));
            std::string name;
            for (size_t at = 0; at + 1 < hex.size(); at += 2) {
                name += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
            }
            names.push_back(name);
        }
        return names;
    }

    testing::TempFolder site;
};

TEST_F(FolderZipTest, ReadsBackWithEveryNameBytesModeAndTime) {
    const std::string text(10000, 'a');
    File("docs/notes.txt", text);
    File("docs/photo.JPG", "not really a photo");
    File("docs/empty.txt", "");
    File("docs/run.sh", "#!/bin/sh\n");
    fs::permissions(Base() / "docs/run.sh", fs::perms(0700));
    File("docs/private.txt", "mine");
    fs::permissions(Base() / "docs/private.txt", fs::perms(0600));
    File("docs/.git/config", "hidden");
    const std::string longName = [] {
        std::string name;
        for (int i = 0; i < 127; ++i) {
            name += "\xC3\xA9";
        }
        return name + "x";  // 255 bytes
    }();
    // Each name on disk, and as the zip must name it.
    const std::pair<std::string, std::string> hostile[] = {
        {"with space.txt", "with space.txt"},
        {"hash#.txt", "hash#.txt"},
        {"per%25cent.txt", "per%25cent.txt"},
        {"what?.txt", "what?.txt"},
        {"quote\"'.txt", "quote\"'.txt"},
        {"new\nline.txt", "new\nline.txt"},
        {"x\\..\\..\\run.bat", "x_.._.._run.bat"},  // no other separator than '/'
        {"\xE2\x80\xAEtxt.exe", "\xE2\x80\xAEtxt.exe"},
        {"caf\xC3\xA9 \xF0\x9F\x93\xB7.txt", "caf\xC3\xA9 \xF0\x9F\x93\xB7.txt"},
        {longName, longName},
        {"bad\xFF\xC0.txt", "bad\xEF\xBF\xBD\xEF\xBF\xBD.txt"},
    };
    for (const auto& [disk, shown] : hostile) {
        File("docs/names/" + disk, disk);
    }
    struct timespec times[2] = {{.tv_sec = 1614834368, .tv_nsec = 0},  // 2021-03-04 05:06:08 UTC
                                {.tv_sec = 1614834368, .tv_nsec = 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (Base() / "docs/notes.txt").c_str(), times, 0), 0);

    const auto line = [&](const std::string& name, const std::string& disk, int method,
                          std::string_view content, const char* mode) {
        return Hex("docs/" + name) + " " + std::to_string(method) + " " +
               std::to_string(content.size()) + " " + mode + " " + DosTime(Base() / "docs" / disk) +
               " " + (content.empty() ? "-" : Hex(content));
    };
    Lines expected = {
        line("", "", 0, "", "0o755"),
        line("empty.txt", "empty.txt", 0, "", "0o644"),
        line("names/", "names", 0, "", "0o755"),
        line("notes.txt", "notes.txt", 8, text, "0o644"),
        line("photo.JPG", "photo.JPG", 0, "not really a photo", "0o644"),
        line("private.txt", "private.txt", 8, "mine", "0o644"),
        line("run.sh", "run.sh", 8, "#!/bin/sh\n", "0o755"),
    };
    for (const auto& [disk, shown] : hostile) {
        expected.push_back(line("names/" + shown, "names/" + disk, 8, disk, "0o644"));
    }
    std::sort(expected.begin(), expected.end());
    expected.push_back("testzip None");

    FolderZip zip = Zip({"docs"}, {.topName = "docs"});
    const Streamed streamed = StreamAll(zip);
    EXPECT_FALSE(zip.Failed());
    Lines read = ReadBack(streamed.bytes);
    ASSERT_FALSE(read.empty());
    std::sort(read.begin(), read.end() - 1);
    EXPECT_EQ(read, expected);
}

TEST_F(FolderZipTest, TheTopFolderAndPicksChooseWhatGoesIn) {
    File("album/a.jpg", "a");
    File("album/sub/b.txt", "b");
    File("album/c.txt", "c");
    File("album/.hidden", "h");
    struct Case {
        std::string what;
        ZipChoice choice;
        Names names;
    };
    const Case cases[] = {
        {"no top folder", {}, {"a.jpg", "c.txt", "sub/", "sub/b.txt", "testzip None"}},
        {"under the folder's name",
         {.topName = "album"},
         {"album/", "album/a.jpg", "album/c.txt", "album/sub/", "album/sub/b.txt", "testzip None"}},
        {"a top name that is no plain name is ignored",
         {.topName = "../up", .picks = {"c.txt"}},
         {"c.txt", "testzip None"}},
        {"picks, and picks naming nothing shown",
         {.topName = "album",
          .picks = {"sub", "c.txt", "missing", ".hidden", "../album", "sub/b.txt"}},
         {"album/", "album/c.txt", "album/sub/", "album/sub/b.txt", "testzip None"}},
    };
    for (const Case& c : cases) {
        FolderZip zip = Zip({"album"}, c.choice);
        const Streamed streamed = StreamAll(zip);
        EXPECT_FALSE(zip.Failed()) << c.what;
        EXPECT_EQ(NamesIn(streamed.bytes), c.names) << c.what;
    }
}

// Whatever goes wrong once bytes have left, the client must be able to tell
// the zip is not whole: it ends without its central directory.
TEST_F(FolderZipTest, AFileThatFailsOrAWalkCutShortFailsTheZip) {
    constexpr size_t kSize = 1 << 20;
    constexpr std::string_view kEndOfDirectory("PK\x05\x06", 4);
    struct Case {
        std::string what;
        WalkLimits limits;
        std::function<void()> meanwhile;  // after the first piece left
        bool fails;
    };
    const Case cases[] = {
        {"a file shrinks", {}, [&] { fs::resize_file(Base() / "big.mp4", 100000); }, true},
        {"a file grows: its entry keeps the size it began with",
         {},
         [&] { std::ofstream(Base() / "big.mp4", std::ios::app) << "more"; },
         false},
        {"the walk is cut", {.mostEntries = 1}, [] {}, true},
    };
    for (const Case& c : cases) {
        File("big.mp4", std::string(kSize, 'v'));
        File("z.txt", "z");
        FolderZip zip = Zip({}, {}, c.limits);
        std::string bytes(zip.Next());
        c.meanwhile();
        const Streamed rest = StreamAll(zip);
        bytes += rest.bytes;
        EXPECT_EQ(zip.Failed(), c.fails) << c.what;
        EXPECT_EQ(bytes.find(kEndOfDirectory) != std::string::npos, !c.fails) << c.what;
        const Lines read = ReadBack(bytes);
        ASSERT_FALSE(read.empty()) << c.what;
        if (c.fails) {
            EXPECT_EQ(read.back(), "bad zip") << c.what;
        } else {
            EXPECT_EQ(read.back(), "testzip None") << c.what;
            EXPECT_TRUE(
                read.front().starts_with(Hex("big.mp4") + " 0 " + std::to_string(kSize) + " "))
                << c.what << ": " << read.front().substr(0, 40);
        }
    }
    FolderZip missing(FolderWalk(Base(), {"missing"}, AdmitAll), {});
    EXPECT_TRUE(missing.Next().empty());
    EXPECT_TRUE(missing.Failed());
}

// The light version of bench/zip_memory.py: hundreds of MiB go through while
// the process's peak memory barely moves.
TEST_F(FolderZipTest, MemoryStaysFlatWhateverTheFilesWeigh) {
    constexpr uintmax_t kMiB = 1 << 20;
    File("stored.mkv", "");
    fs::resize_file(Base() / "stored.mkv", 256 * kMiB);  // sparse
    File("deflated.bin", "");
    fs::resize_file(Base() / "deflated.bin", 64 * kMiB);
    const auto status = [](std::string_view key) -> uintmax_t {
        std::ifstream in("/proc/self/status");
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with(key)) {
                return std::stoull(line.substr(key.size())) * 1024;
            }
        }
        return 0;
    };
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const uintmax_t before = status("VmRSS:");
    FolderZip zip = Zip();
    uintmax_t total = 0;
    size_t largest = 0;
    std::string tail;
    for (int i = 0; i < 100000; ++i) {
        const std::string_view piece = zip.Next();
        if (piece.empty()) {
            break;
        }
        total += piece.size();
        largest = std::max(largest, piece.size());
        tail = std::string(piece.substr(piece.size() - std::min<size_t>(piece.size(), 22)));
    }
    const uintmax_t peak = status("VmHWM:");
    EXPECT_FALSE(zip.Failed());
    EXPECT_GT(total, 256 * kMiB);
    EXPECT_TRUE(tail.starts_with(std::string_view("PK\x05\x06", 4)));
    EXPECT_LE(largest, 256u * 1024);
    EXPECT_LT(peak, before + 8 * kMiB) << "peak " << peak << " from " << before;
}

TEST(AttachmentDisposition, OffersAnAsciiFallbackAndTheUtf8Name) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"photos.zip", R"(attachment; filename="photos.zip"; filename*=UTF-8''photos.zip)"},
        {"\xC3\x9C"
         "berblick 2024.zip",
         R"(attachment; filename="_berblick 2024.zip"; filename*=UTF-8''%C3%9Cberblick%202024.zip)"},
        {"\xE6\x97\xA5\xE6\x9C\xAC.zip",
         R"(attachment; filename="__.zip"; filename*=UTF-8''%E6%97%A5%E6%9C%AC.zip)"},
        // Quotes, backslashes and line breaks can never end the value or the line.
        {"a\"b\\c%d\r\nSet-Cookie: x;.zip",
         R"(attachment; filename="a_b_c_d__Set-Cookie: x;.zip"; )"
         R"(filename*=UTF-8''a%22b%5Cc%25d%0D%0ASet-Cookie%3A%20x%3B.zip)"},
        {"\xE2\x80\xAEpiz.exe",
         R"(attachment; filename="_piz.exe"; filename*=UTF-8''%E2%80%AEpiz.exe)"},
        {"bad\xFF.zip", R"(attachment; filename="bad_.zip"; filename*=UTF-8''bad%EF%BF%BD.zip)"},
    };
    for (const auto& [name, value] : cases) {
        EXPECT_EQ(AttachmentDisposition(name), value) << name;
    }
}

}  // namespace
}  // namespace quorvane::responses
