// How both programs read their command line and pick their program folder.
#include <gtest/gtest.h>

#include <vector>

#include "app/command_line.h"
#include "app/folder_choice.h"
#include "support/temp_folder.h"

namespace quorvane::app {
namespace {

namespace fs = std::filesystem;

CommandLine Parse(std::vector<std::string_view> arguments,
                  ProgramKind kind = ProgramKind::kServer) {
    return ParseCommandLine(arguments, kind);
}

TEST(CommandLineTest, ReadsTheFolderInBothForms) {
    EXPECT_EQ(Parse({"--folder", "/srv/site"}).folder, fs::path("/srv/site"));
    EXPECT_EQ(Parse({"--folder=my site"}).folder, fs::path("my site"));
    const CommandLine plain = Parse({});
    EXPECT_FALSE(plain.folder || plain.help || plain.version || plain.minimized);
    EXPECT_TRUE(plain.error.empty());
    // A folder may look like an option; it is taken as the value.
    EXPECT_EQ(Parse({"--folder", "--help"}).folder, fs::path("--help"));
    EXPECT_FALSE(Parse({"--folder", "--help"}).help);
}

TEST(CommandLineTest, TheHeadlessProgramSharesAFolderOnAPortForOneRun) {
    const CommandLine line = Parse({"--port=8081", "my pictures", "--listen", "local"});
    EXPECT_TRUE(line.error.empty()) << line.error;
    EXPECT_EQ(line.share, fs::path("my pictures"));
    EXPECT_EQ(line.port, 8081);
    EXPECT_EQ(line.listen, "local");
    const std::pair<std::vector<std::string_view>, std::string_view> refused[] = {
        {{"--port", "0"}, "option '--port' needs a number from 1 to 65535"},
        {{"--port", "65536"}, "option '--port' needs a number from 1 to 65535"},
        {{"--port", "http"}, "option '--port' needs a number from 1 to 65535"},
        {{"--port"}, "option '--port' needs a port"},
        {{"--listen="}, "option '--listen' needs local, network or an address"},
        {{"--add-user="}, "option '--add-user' needs a user name"},
        {{"a", "b"}, "unexpected argument 'b'"},
        {{"--portable"}, "unknown option '--portable'"},
    };
    for (const auto& [arguments, error] : refused) {
        EXPECT_EQ(Parse(arguments).error, error) << arguments.front();
    }
    // The window shares through its dialog, not its line.
    EXPECT_EQ(Parse({"site"}, ProgramKind::kWindow).error, "unexpected argument 'site'");
    EXPECT_EQ(Parse({"--port", "80"}, ProgramKind::kWindow).error, "unknown option '--port'");
    EXPECT_EQ(Parse({"--add-user", "ann"}, ProgramKind::kWindow).error,
              "unknown option '--add-user'");
    EXPECT_EQ(Parse({"--add-user", "ann", "--folder=x"}).addUser, "ann");
}

TEST(CommandLineTest, RefusesWhatItDoesNotKnow) {
    EXPECT_EQ(Parse({"--folder"}).error, "option '--folder' needs a folder");
    EXPECT_EQ(Parse({"--folder="}).error, "option '--folder' needs a folder");
    EXPECT_EQ(Parse({"--folder", "a", "--folder", "b"}).error, "option '--folder' given twice");
    // Only the window starts minimised.
    EXPECT_EQ(Parse({"--minimized"}).error, "unknown option '--minimized'");
    EXPECT_TRUE(Parse({"--minimized"}, ProgramKind::kWindow).minimized);
    EXPECT_NE(UsageText(ProgramKind::kWindow).find("--minimized"), std::string::npos);
    EXPECT_EQ(UsageText(ProgramKind::kServer).find("--minimized"), std::string::npos);
}

TEST(CommandLineTest, TheWindowTakesAFolderToShare) {
    const CommandLine line =
        Parse({"--share", "/home/me/Photos", "--folder=/srv/site"}, ProgramKind::kWindow);
    EXPECT_TRUE(line.error.empty()) << line.error;
    EXPECT_EQ(line.shareDialog, fs::path("/home/me/Photos"));
    EXPECT_EQ(line.folder, fs::path("/srv/site"));
    EXPECT_EQ(Parse({"--share=My Music"}, ProgramKind::kWindow).shareDialog, fs::path("My Music"));
    // A desktop action started without a file gives --share alone, at the end.
    EXPECT_EQ(Parse({"--minimized", "--share"}, ProgramKind::kWindow).shareDialog, fs::path());
    const struct {
        std::vector<std::string_view> arguments;
        ProgramKind kind;
        std::string_view error;
    } refused[] = {
        {{"--share="}, ProgramKind::kWindow, "option '--share' needs a folder"},
        {{"--share", "a", "--share", "b"}, ProgramKind::kWindow, "option '--share' given twice"},
        {{"--shared"}, ProgramKind::kWindow, "unknown option '--shared'"},
    };
    for (const auto& [arguments, kind, error] : refused) {
        EXPECT_EQ(Parse(arguments, kind).error, error) << arguments.front();
    }
    EXPECT_NE(UsageText(ProgramKind::kWindow).find("--share [DIR]"), std::string::npos);
}

TEST(CommandLineTest, TheHeadlessProgramMakesListsAndEndsLinksOneAtATime) {
    const CommandLine made = Parse(
        {"--share", "www/report.pdf", "--expires=1h", "--downloads", "3", "--note", "for Ann"});
    EXPECT_TRUE(made.error.empty()) << made.error;
    EXPECT_EQ(made.linkTo, fs::path("www/report.pdf"));
    EXPECT_EQ(made.linkLifetime.length, std::chrono::hours(1));
    EXPECT_EQ(made.linkDownloads, 3u);
    EXPECT_EQ(made.linkNote, "for Ann");
    const CommandLine plain = Parse({"--share", "www"});
    EXPECT_EQ(plain.linkLifetime.length, std::chrono::hours(24 * 7));
    EXPECT_FALSE(plain.linkDownloads);
    EXPECT_FALSE(Parse({"--share", "www", "--expires", "never"}).linkLifetime.length);
    EXPECT_TRUE(Parse({"--shares"}).listLinks);
    EXPECT_EQ(Parse({"--revoke", "3f2a9c"}).revokeLink, "3f2a9c");
    const std::pair<std::vector<std::string_view>, std::string_view> refused[] = {
        {{"--share", "a", "--expires", "soon"},
         "option '--expires' needs 1h, 1d, 7d (any count of h, d or w) or never"},
        {{"--share", "a", "--downloads", "0"},
         "option '--downloads' needs a number from 1 to 1000000"},
        {{"--share", "a", "--downloads", "2x"},
         "option '--downloads' needs a number from 1 to 1000000"},
        {{"--downloads", "2"}, "option '--downloads' goes with --share"},
        {{"--shares", "--revoke", "ab12"}, "--share, --shares and --revoke go one at a time"},
        {{"--share", "a", "--port", "81"},
         "a link command does not start the server: FOLDER, --port and --listen do not apply"},
        {{"--revoke"}, "option '--revoke' needs a link's ID"},
    };
    for (const auto& [arguments, error] : refused) {
        EXPECT_EQ(Parse(arguments).error, error) << arguments.back();
    }
}

TEST(CommandLineTest, SeesHelpAndVersionBehindOptionsItDoesNotKnow) {
    // The window reads its line once before Qt took its own options out.
    const CommandLine line = Parse({"-platform", "offscreen", "--help"}, ProgramKind::kWindow);
    EXPECT_TRUE(line.help);
    EXPECT_EQ(line.error, "unknown option '-platform'");
    EXPECT_TRUE(Parse({"--version"}).version);
    EXPECT_TRUE(Parse({"-h"}).help);
}

class FolderChoiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_.Write("usr/bin/quorvane-server", "program");
        root_.Write("usr/share/quorvane/quorvane.ini", "[Server]\r\nPort=8080\r\n");
        root_.Write("usr/share/quorvane/dirs.lst", "\"/\",\"www\",\"No\",\"No\",\"No\"\r\n");
        root_.Write("usr/share/quorvane/www/index.htm", "<p>sample</p>");
        fs::create_directories(root_.Path() / "usr/share/quorvane/cgi-bin");
    }

    FolderChoice::Places Installed() const {
        return {Bin(), root_.Path() / "usr/share/quorvane", std::nullopt,
                (root_.Path() / "config").string(), (root_.Path() / "home").string()};
    }
    fs::path Bin() const { return root_.Path() / "usr/bin"; }
    fs::path PerUser() const { return root_.Path() / "config/quorvane"; }

    testing::TempFolder root_;
};

TEST_F(FolderChoiceTest, ASettingsFileBesideTheProgramMakesItPortable) {
    root_.Write("usr/bin/quorvane.ini", "[Server]\r\nPort=81\r\n");
    const FolderChoice choice(Installed());
    const FolderChoice::Result result = choice.Choose();
    EXPECT_EQ(result.kind, FolderChoice::Kind::kPortable);
    EXPECT_EQ(result.folder, Bin());
    EXPECT_FALSE(result.filled);
    EXPECT_TRUE(choice.Notice(result).empty());
    EXPECT_FALSE(fs::exists(PerUser()));
}

TEST_F(FolderChoiceTest, ThePerUserFolderFollowsTheEnvironment) {
    FolderChoice::Places places = Installed();
    places.xdgConfigHome = "relative/config";  // not absolute, so ignored
    EXPECT_EQ(FolderChoice(places).Choose().folder, root_.Path() / "home/.config/quorvane");
    EXPECT_TRUE(fs::exists(root_.Path() / "home/.config/quorvane/quorvane.ini"));

    places.xdgConfigHome.clear();
    places.home.clear();
    const FolderChoice::Result nowhere = FolderChoice(places).Choose();
    EXPECT_EQ(nowhere.problem, "neither XDG_CONFIG_HOME nor HOME names a folder; use --folder DIR");
}

TEST_F(FolderChoiceTest, AFolderGivenOnTheCommandLineWinsAndIsCompleted) {
    root_.Write("usr/bin/quorvane.ini", "portable");
    root_.Write("site/www/index.htm", "<p>mine</p>");
    FolderChoice::Places places = Installed();
    places.requested = root_.Path() / "site";
    const FolderChoice choice(places);
    const FolderChoice::Result result = choice.Choose();
    EXPECT_EQ(result.kind, FolderChoice::Kind::kRequested);
    EXPECT_EQ(result.folder, root_.Path() / "site");
    EXPECT_TRUE(result.filled);
    EXPECT_FALSE(result.created);
    EXPECT_EQ(choice.Notice(result).rfind("Completed the program folder ", 0), 0u);
    EXPECT_EQ(root_.Read("site/www/index.htm"), "<p>mine</p>");
    EXPECT_EQ(root_.Read("site/quorvane.ini"), "[Server]\r\nPort=8080\r\n");
    EXPECT_FALSE(fs::exists(PerUser()));
}

TEST_F(FolderChoiceTest, SecretsArePrivateFromTheirFirstByteEvenInAnOpenFolder) {
    for (const char* sample : {"users.lst", "https-key.pem", "quorvane.log", "www/users.lst"}) {
        root_.Write("usr/share/quorvane/" + std::string(sample), sample);
    }
    for (const auto& entry : fs::recursive_directory_iterator(root_.Path() / "usr/share")) {
        if (entry.is_regular_file()) {
            fs::permissions(entry.path(), fs::perms(0644));
        }
    }
    root_.Write("site/quorvane.log", "kept");
    fs::permissions(root_.Path() / "site", fs::perms(0755));
    FolderChoice::Places places = Installed();
    places.requested = root_.Path() / "site";
    ASSERT_TRUE(FolderChoice(places).Choose().filled);

    const std::pair<const char*, unsigned> modes[] = {
        {"users.lst", 0600},
        {"https-key.pem", 0600},
        {"dirs.lst", 0644},
        {"www/users.lst", 0644},  // a page of the site, not the program's list
    };
    for (const auto& [file, mode] : modes) {
        EXPECT_EQ(testing::ModeOf(root_.Path() / "site" / file), mode) << file;
    }
    EXPECT_EQ(root_.Read("site/users.lst"), "");  // no sample user, no known password
    EXPECT_EQ(root_.Read("site/quorvane.log"), "kept");
}

TEST_F(FolderChoiceTest, SaysWhyAFolderCannotBeMade) {
    root_.Write("config", "a file where a folder should be");
    const FolderChoice::Result blocked = FolderChoice(Installed()).Choose();
    EXPECT_EQ(blocked.problem.rfind("cannot create " + PerUser().string() + ": ", 0), 0u)
        << blocked.problem;

    FolderChoice::Places places = Installed();
    places.requested = root_.Path() / "config";
    EXPECT_EQ(FolderChoice(places).Choose().problem,
              (root_.Path() / "config").string() + " is not a folder");
}

TEST_F(FolderChoiceTest, WithoutSamplesTheFolderIsLeftToTheMissingSettingsWarning) {
    FolderChoice::Places places = Installed();
    places.samplesFolder = root_.Path() / "nowhere";
    const FolderChoice::Result result = FolderChoice(places).Choose();
    EXPECT_TRUE(result.problem.empty());
    EXPECT_EQ(result.folder, PerUser());
    EXPECT_FALSE(result.filled);
    EXPECT_FALSE(fs::exists(PerUser()));
}

}  // namespace
}  // namespace quorvane::app
