#include "responses/folder_walk.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "responses/folder_search.h"
#include "support/temp_folder.h"

namespace quorvane::responses {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

bool AdmitAll(const std::vector<std::string>&, const struct stat&, bool) {
    return true;
}

// An entry as the tests name it: its segments joined, a folder with '/'.
std::string Shown(const WalkEntry& entry) {
    std::string shown;
    for (const std::string& segment : entry.segments) {
        shown += (shown.empty() ? "" : "/") + segment;
    }
    return entry.folder ? shown + "/" : shown;
}

Names Walked(FolderWalk& walk) {
    Names names;
    for (int i = 0; i < 1000; ++i) {
        const std::optional<WalkEntry> entry = walk.Next();
        if (!entry) {
            break;
        }
        names.push_back(Shown(*entry));
    }
    return names;
}

class FolderWalkTest : public ::testing::Test {
  protected:
    fs::path Base() const { return site.Path() / "site"; }
    void Folder(const std::string& relative) const { fs::create_directories(Base() / relative); }
    void File(const std::string& relative, std::string_view content = "x") const {
        site.Write("site/" + relative, content);
    }
    void Link(const std::string& relative, const fs::path& target) const {
        fs::create_symlink(target, Base() / relative);
    }
    Names WalkOf(Names start = {}, WalkLimits limits = {}, WalkAdmit admit = AdmitAll) const {
        FolderWalk walk(Base(), std::move(start), std::move(admit), limits);
        return Walked(walk);
    }

    testing::TempFolder site;
};

TEST_F(FolderWalkTest, GoesDepthFirstWithEachFoldersNamesInByteOrder) {
    File("b/d/e.txt");
    File("b/c.txt");
    File("a.txt");
    File("Z.txt");
    File("b-side.txt");
    Folder("empty");
    EXPECT_EQ(WalkOf(), (Names{"Z.txt", "a.txt", "b/", "b/c.txt", "b/d/", "b/d/e.txt", "b-side.txt",
                               "empty/"}));
    EXPECT_EQ(WalkOf({"b"}), (Names{"c.txt", "d/", "d/e.txt"}));
    FolderWalk missing(Base(), {"nowhere"}, AdmitAll);
    EXPECT_FALSE(missing.Opened());
    EXPECT_FALSE(missing.Next());
    EXPECT_FALSE(missing.Cut());
}

TEST_F(FolderWalkTest, LeavesOutHiddenNamesAndWhatIsNeitherFileNorFolder) {
    File("shown.txt");
    File(".hidden.txt");
    File(".hidden-folder/inside.txt");
    File("folder/.profile");
    ASSERT_EQ(::mkfifo((Base() / "pipe").c_str(), 0644), 0);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (Base() / "socket").string();
    ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(listener);
    // A device node needs the right to make one; where it is missing the
    // other kinds still stand for it.
    ::mknod((Base() / "null-device").c_str(), S_IFCHR | 0666, ::makedev(1, 3));
    Link("to-pipe", "pipe");
    EXPECT_EQ(WalkOf(), (Names{"folder/", "shown.txt"}));
}

TEST_F(FolderWalkTest, FollowsLinksInsideTheFolderButNeverOutOfItOrRoundALoop) {
    File("docs/guide.txt", "guide");
    File("docs/deep/more.txt");
    site.Write("outside/secret.txt", "secret");
    Link("guide-link.txt", "docs/guide.txt");
    Link("docs-link", "docs");
    Link("docs/deep/back-to-docs", "..");      // a loop: an ancestor of where it lies
    Link("docs/deep/to-the-top", "../../");    // the start folder, a loop as well
    Link("out.txt", "../outside/secret.txt");  // out of the configured folder
    Link("out-folder", "../outside");
    Link("absolute.txt", Base() / "docs/guide.txt");  // absolute: never resolved beneath
    Link("dangling.txt", "missing.txt");
    const Names walked = WalkOf();
    EXPECT_EQ(walked, (Names{"docs/", "docs/deep/", "docs/deep/more.txt", "docs/guide.txt",
                             "docs-link/", "docs-link/deep/", "docs-link/deep/more.txt",
                             "docs-link/guide.txt", "guide-link.txt"}));

    // A start folder below the configured one may still reach beside itself,
    // but a link to a folder holding it is a loop as well.
    Link("docs/deep/sibling.txt", "../../guide-link.txt");
    EXPECT_EQ(WalkOf({"docs", "deep"}), (Names{"more.txt", "sibling.txt"}));
    FolderWalk walk(Base(), {"docs", "deep"}, AdmitAll);
    std::optional<WalkEntry> entry;
    while ((entry = walk.Next()) && entry->segments.back() != "sibling.txt") {
    }
    ASSERT_TRUE(entry);
    std::optional<OpenFile> file = walk.Open(*entry);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size, 5u);
}

TEST_F(FolderWalkTest, WhatTheCallerRefusesIsLeftOutAndARefusedFolderIsNotEntered) {
    File("public/a.txt");
    File("secure/inner/b.txt");
    File("secure/c.txt");
    File("own.ini");
    Link("public/own-link.ini", "../own.ini");
    Link("public/secure-link", "../secure");
    struct stat own {};
    struct stat secure {};
    ASSERT_EQ(::stat((Base() / "own.ini").c_str(), &own), 0);
    ASSERT_EQ(::stat((Base() / "secure").c_str(), &secure), 0);
    std::vector<Names> asked;
    // Refused by what they are, not by their names: links to them as well.
    const WalkAdmit admit = [&](const std::vector<std::string>& segments, const struct stat& info,
                                bool folder) {
        asked.push_back(segments);
        EXPECT_EQ(folder, S_ISDIR(info.st_mode));
        const auto is = [&](const struct stat& one) {
            return info.st_dev == one.st_dev && info.st_ino == one.st_ino;
        };
        return !is(own) && !is(secure);
    };
    EXPECT_EQ(WalkOf({}, {}, admit), (Names{"public/", "public/a.txt"}));
    EXPECT_EQ(asked, (std::vector<Names>{{"own.ini"},
                                         {"public"},
                                         {"public", "a.txt"},
                                         {"public", "own-link.ini"},
                                         {"public", "secure-link"},
                                         {"secure"}}));
}

TEST_F(FolderWalkTest, EachBoundCutsTheWalkAndSaysSo) {
    File("a/b/c/d.txt");
    File("e.txt");
    Folder("f/g");  // empty at depth 2
    const auto past = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    const auto future = std::chrono::steady_clock::now() + std::chrono::hours(1);
    struct Case {
        std::string what;
        WalkLimits limits;
        Names walked;
        bool cut;
    };
    const Case cases[] = {
        {"every name fits",
         {.mostEntries = 7, .deadline = future},
         {"a/", "a/b/", "a/b/c/", "a/b/c/d.txt", "e.txt", "f/", "f/g/"},
         false},
        {"a listing passing the bound", {.mostEntries = 4}, {"a/", "a/b/"}, true},
        {"names of the start folder alone too many", {.mostEntries = 2}, {}, true},
        {"deep enough",
         {.deepest = 4},
         {"a/", "a/b/", "a/b/c/", "a/b/c/d.txt", "e.txt", "f/", "f/g/"},
         false},
        {"a folder too deep to enter", {.deepest = 2}, {"a/", "a/b/"}, true},
        {"the deadline passed", {.deadline = past}, {}, true},
    };
    for (const Case& c : cases) {
        FolderWalk walk(Base(), {}, AdmitAll, c.limits);
        EXPECT_EQ(Walked(walk), c.walked) << c.what;
        EXPECT_EQ(walk.Cut(), c.cut) << c.what;
    }
    // An empty folder at the deepest level needs no entering.
    FolderWalk shallow(Base(), {"f"}, AdmitAll, {.deepest = 1});
    EXPECT_EQ(Walked(shallow), Names{"g/"});
    EXPECT_FALSE(shallow.Cut());
}

TEST_F(FolderWalkTest, PicksKeepOnlyTheNamedEntriesOfTheStartFolder) {
    File("a/inner.txt");
    File("a.txt");
    File("b.txt");
    File(".hidden");
    File("c/a/deeper.txt");  // the same name lower down is no pick
    FolderWalk walk(Base(), {}, AdmitAll);
    walk.KeepOnly({"b.txt", "a", "missing", ".hidden", "../b.txt", "c/a"});
    EXPECT_EQ(Walked(walk), (Names{"a/", "a/inner.txt", "b.txt"}));
}

TEST_F(FolderWalkTest, AFileIsOpenedOnlyAsTheVeryFileTheWalkAdmitted) {
    File("kept.txt", "kept");
    File("swapped.txt", "before");
    File("piped.txt", "before");
    FolderWalk walk(Base(), {}, AdmitAll);
    std::vector<WalkEntry> entries;
    while (std::optional<WalkEntry> entry = walk.Next()) {
        entries.push_back(std::move(*entry));
    }
    ASSERT_EQ(entries.size(), 3u);
    // Replaced by another file, and by a pipe that would block a reader.
    site.Write("site/swapped.txt.new", "after");
    fs::rename(Base() / "swapped.txt.new", Base() / "swapped.txt");
    fs::remove(Base() / "piped.txt");
    ASSERT_EQ(::mkfifo((Base() / "piped.txt").c_str(), 0644), 0);

    std::optional<OpenFile> kept = walk.Open(entries[0]);
    ASSERT_TRUE(kept);
    char bytes[8] = {};
    EXPECT_EQ(::read(kept->file.Get(), bytes, sizeof(bytes)), 4);
    EXPECT_EQ(std::string_view(bytes, 4), "kept");
    EXPECT_FALSE(walk.Open(entries[1]));  // piped.txt
    EXPECT_FALSE(walk.Open(entries[2]));  // swapped.txt
}

TEST_F(FolderWalkTest, SearchMatchesOwnNamesWithoutCaseAndSaysWhatCutIt) {
    File("Reports/summary.txt");
    File("Reports/2024-REPORT.pdf");
    File("notes/report-draft.txt");
    File("notes/other.txt");
    struct Case {
        std::string query;
        size_t most;
        WalkLimits limits;
        Names found;
        bool resultsCut;
        bool walkCut;
    };
    const Case cases[] = {
        {"report",
         10,
         {},
         {"Reports/", "Reports/2024-REPORT.pdf", "notes/report-draft.txt"},
         false,
         false},
        {"REPORT", 2, {}, {"Reports/", "Reports/2024-REPORT.pdf"}, true, false},
        {"summary", 10, {}, {"Reports/summary.txt"}, false, false},
        {"reports/summary", 10, {}, {}, false, false},  // a name, never a path
        {"report", 10, {.mostEntries = 4}, {"Reports/", "Reports/2024-REPORT.pdf"}, false, true},
        {"", 3, {}, {"Reports/", "Reports/2024-REPORT.pdf", "Reports/summary.txt"}, true, false},
    };
    for (const Case& c : cases) {
        FolderWalk walk(Base(), {}, AdmitAll, c.limits);
        const FolderSearch search = SearchFolder(walk, c.query, c.most);
        Names found;
        for (const WalkEntry& entry : search.found) {
            found.push_back(Shown(entry));
        }
        EXPECT_EQ(found, c.found) << c.query;
        EXPECT_EQ(search.resultsCut, c.resultsCut) << c.query;
        EXPECT_EQ(search.walkCut, c.walkCut) << c.query;
    }
}

}  // namespace
}  // namespace quorvane::responses
