#include "responses/resolution.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "responses/open_file.h"
#include "support/temp_folder.h"

namespace quorvane::responses {
namespace {

namespace fs = std::filesystem;

class ResolutionTest : public ::testing::Test {
  protected:
    ResolutionTest() {
        folder_.WriteSettings({});
        folder_.WriteDirs(dirs_);
        folder_.Write("top/index.htm", "top");
        folder_.Write("www/sub/page.htm", "sub");
        folder_.Write("www/private/index.htm", "private");
        folder_.Write("www/private/deeper/a.htm", "deeper");
        folder_.Write("manuals/sub/a.htm", "manual");
        folder_.Write("www/open/index.htm", "open");
        fs::create_symlink("../private/index.htm", folder_.Path() / "www/sub/index.htm");
        fs::create_symlink("private", folder_.Path() / "www/way-in");
        UseSettings("[HomePage]\nRootDirectory=www\nScriptAllowed=1\n");
    }

    void UseSettings(std::string_view text) { settings_ = config::Settings::Parse(text); }

    Resolution Resolve(std::string_view target) {
        const std::vector<std::string> defaults = {"index.htm"};
        return responses::Resolve(*http::ParseTarget(target),
                                  {dirs_, defaults, settings_, program_});
    }
    fs::path At(std::string_view relative) const { return folder_.Path() / relative; }

    testing::TempFolder folder_;
    config::ProgramFolder program_ = folder_.Program();
    config::Settings settings_;
    std::vector<config::VirtualDirectory> dirs_ = {{"/", "top", false, true},
                                                   {"/docs/", "manuals", false, false, true},
                                                   {"/docs/", "shadowed", true, true, true},
                                                   {"//docs//inner", "inner"},
                                                   {"/private/", "www/private", true},
                                                   {"/private/deeper/", "www/private/deeper", true},
                                                   {"/nowhere/", ""}};
};

TEST_F(ResolutionTest, SegmentsMapOntoTheLongestRecordOrTheRootFolder) {
    const Resolution root = Resolve("/");
    EXPECT_EQ(root.path, At("top/index.htm"));  // the root record covers "/" alone
    EXPECT_TRUE(root.defaultDocument);

    const Resolution sub = Resolve("/sub/page.htm");  // the rest of the site: RootDirectory
    EXPECT_EQ(sub.path, At("www/sub/page.htm"));
    EXPECT_EQ(sub.directory, "/sub/");
    EXPECT_EQ(sub.found, Found::kFile);

    const Resolution manual = Resolve("//docs//sub/a.htm");  // first of equal names wins
    EXPECT_EQ(manual.path, At("manuals/sub/a.htm"));
    EXPECT_EQ(manual.record->name, "/docs/");
    EXPECT_FALSE(manual.policy.secure);
    EXPECT_EQ(Resolve("/docs/inner/x.htm").path, At("inner/x.htm"));
    EXPECT_EQ(Resolve("/Docs/sub/a.htm").path, At("www/Docs/sub/a.htm"));  // case significant
    EXPECT_EQ(Resolve("/docs").folder, At("manuals"));
    // A record without a folder maps nothing.
    EXPECT_EQ(Resolve("/nowhere/x.htm").path, At("www/nowhere/x.htm"));
}

TEST_F(ResolutionTest, AnythingInsideASecureFolderIsSecureWhateverLeadsThere) {
    for (std::string_view target : {"/private/", "/private/index.htm", "/private/missing.htm",
                                    "/way-in/index.htm", "/sub/", "/private/gone/deep.htm"}) {
        const Resolution resolution = Resolve(target);
        EXPECT_TRUE(resolution.policy.secure) << target;
        EXPECT_EQ(resolution.policy.realm, "/private/") << target;
    }
    EXPECT_EQ(Resolve("/private/deeper/a.htm").policy.realm, "/private/deeper/");
    EXPECT_FALSE(Resolve("/open/").policy.secure);
    EXPECT_FALSE(Resolve("/sub/page.htm").policy.secure);

    UseSettings("[HomePage]\nRootDirectory=www\nSecure=1\n");
    EXPECT_EQ(Resolve("/open/index.htm").policy.realm, "/open/");
    EXPECT_EQ(Resolve("/way-in/index.htm").policy.realm, "/private/");
}

// What may run follows where the file lies, whichever way it was reached.
TEST_F(ResolutionTest, ScriptsAndProgramsFollowTheFolderThatHoldsTheFile) {
    dirs_.push_back({"/plain/", "top/plain"});
    for (std::string_view name :
         {"top/run.pl", "top/plain/run.pl", "www/sub/run.pl", "manuals/sub/tool.exe"}) {
        folder_.Write(name, "x");
    }
    fs::create_symlink("..", At("www/up"));
    struct Case {
        std::string_view target;
        bool scripts, programs, inside;
    };
    for (const Case& c : {
             Case{"/run.pl", true, false, true},                   // the root record's folder
             Case{"/sub/run.pl", true, false, true},               // RootDirectory, ScriptAllowed
             Case{"/docs/sub/tool.exe", false, true, true},        // a programs record
             Case{"/up/manuals/sub/tool.exe", false, true, true},  // the same file by a link
             Case{"/up/top/run.pl", true, false, true},
             Case{"/plain/run.pl", false, false, true},  // an outer folder runs scripts
             Case{"/up/top/plain/run.pl", false, false, true},
         }) {
        const Policy policy = Resolve(c.target).policy;
        EXPECT_EQ(policy.scripts, c.scripts) << c.target;
        EXPECT_EQ(policy.programs, c.programs) << c.target;
        EXPECT_EQ(policy.insideScriptFolder, c.inside) << c.target;
    }
    UseSettings("[HomePage]\nRootDirectory=www\n");
    EXPECT_FALSE(Resolve("/sub/run.pl").policy.insideScriptFolder);
}

// A secure folder moved, or the folder around it, stays secure at once.
TEST_F(ResolutionTest, ASecureFolderMovedStaysSecureWhereverItGoes) {
    folder_.Write("store/priv/s.txt", "secret");
    fs::create_symlink("../store/priv", At("www/linked"));
    dirs_.push_back({"/linked/", "www/linked", true});
    EXPECT_TRUE(Resolve("/linked/s.txt").policy.secure);
    fs::rename(At("store"), At("store2"));
    fs::remove(At("www/linked"));
    fs::create_symlink("../store2/priv", At("www/linked"));
    EXPECT_TRUE(Resolve("/linked/s.txt").policy.secure);
    fs::rename(At("www"), At("www2"));
    fs::create_symlink("www2", At("www"));
    EXPECT_TRUE(Resolve("/private/index.htm").policy.secure);
    EXPECT_TRUE(Resolve("/linked/s.txt").policy.secure);
    EXPECT_FALSE(Resolve("/open/index.htm").policy.secure);
}

TEST_F(ResolutionTest, TheFileServedIsTheOneExaminedWhereverItsNameLeadsByThen) {
    folder_.Write("www/open/a.htm", "open page");
    fs::create_symlink("a.htm", folder_.Path() / "www/open/link.htm");
    const Resolution resolution = Resolve("/open/link.htm");
    ASSERT_EQ(resolution.found, Found::kFile);
    EXPECT_FALSE(resolution.policy.secure);
    // Re-pointed into the secure folder between the look and the read.
    fs::remove(folder_.Path() / "www/open/link.htm");
    fs::create_symlink("../private/index.htm", folder_.Path() / "www/open/link.htm");
    ASSERT_TRUE(resolution.examined);
    std::optional<OpenFile> file =
        OpenExaminedFile(resolution.path, resolution.examined->Get(), resolution.info);
    ASSERT_TRUE(file);
    char text[32] = {};
    EXPECT_EQ(std::string(text, static_cast<size_t>(::read(file->file.Get(), text, sizeof text))),
              "open page");
}

TEST_F(ResolutionTest, HiddenNamesOwnFilesAndFilesWithoutADot) {
    folder_.Write("www/.env", "x");
    folder_.Write("www/.git/config", "x");
    folder_.Write("www/LICENSE", "text");
    fs::create_symlink("../dirs.lst", At("www/lists.txt"));
    EXPECT_EQ(Resolve("/.env").found, Found::kNothing);
    EXPECT_EQ(Resolve("/.git/config").found, Found::kNothing);
    EXPECT_EQ(Resolve("/lists.txt").found, Found::kNothing);
    const Resolution license = Resolve("/LICENSE");
    EXPECT_EQ(license.found, Found::kFile);
    EXPECT_EQ(license.document, "LICENSE");
    EXPECT_EQ(license.directory, "/");
    EXPECT_EQ(Resolve("/docs").found, Found::kFolder);
    EXPECT_EQ(Resolve("/docs").document, "");
}

}  // namespace
}  // namespace quorvane::responses
