// The headless program as a user starts it: from its own folder with the
// settings beside it, or installed, with the samples under share/.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <iterator>

#include "config/list_file.h"
#include "support/child_process.h"
#include "support/test_site.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;

class HeadlessProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::copy(QUORVANE_DIST_PATH, folder_.Path(),
                              std::filesystem::copy_options::recursive);
        std::filesystem::copy_file(QUORVANE_SERVER_PATH, Program());
    }

    std::string Program() const { return (folder_.Path() / "quorvane-server").string(); }

    // Tests listen on this computer only.
    void UsePort(uint16_t port) {
        std::string settings = folder_.Read("quorvane.ini");
        const size_t at = settings.find("Port=8080");
        settings.replace(at, 9, "Port=" + std::to_string(port));
        settings.replace(settings.find("Listen=Network"), 14, "Listen=Local");
        folder_.Write("quorvane.ini", settings);
    }

    testing::TempFolder folder_;
};

// A folder named on the line is the whole site for that run: listed, read,
// never run or written to, and the program's own settings stay as they were.
TEST_F(HeadlessProgramTest, AFolderNamedOnTheLineIsSharedAloneAndLeftUntouched) {
    testing::TempFolder shared;
    shared.Write("Holiday photos/beach.txt", "SAND");
    shared.Write("run.pl", "print \"Content-Type: text/plain\\n\\nRAN\";\n");
    const auto before = std::filesystem::last_write_time(shared.Path());
    const std::string settings = folder_.Read("quorvane.ini");
    const uint16_t port = testing::FreePort();
    testing::ChildProcess server(
        {Program(), "--port", std::to_string(port), "--listen", "local", shared.Path().string()},
        folder_.Path());
    ASSERT_TRUE(server.WaitForOutput("Quorvane Ready...", 10s)) << server.Errors();
    const std::string output = server.Output();
    EXPECT_NE(output.find("Sharing " + shared.Path().string() + "\r\n"), std::string::npos);
    EXPECT_NE(output.find("http://localhost:" + std::to_string(port) + "/"), std::string::npos)
        << output;
    const auto get = [&](std::string_view path) {
        return testing::Exchange(port, "GET " + std::string(path) + " HTTP/1.0\r\n\r\n");
    };
    EXPECT_NE(get("/").find("Holiday photos"), std::string::npos);
    EXPECT_EQ(testing::BodyOf(get("/Holiday%20photos/beach.txt")), "SAND");
    EXPECT_EQ(get("/run.pl").find("\r\n\r\nRAN"), std::string::npos);
    // The program folder's own records and sample pages are not part of it.
    for (std::string_view path : {"/private/", "/cgi-bin/", "/index.htm"}) {
        EXPECT_EQ(testing::StatusOf(get(path)), "HTTP/1.1 404 Not Found") << path;
    }
    const std::string put = testing::Exchange(
        port,
        "PUT /new.txt HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Length: 1\r\n\r\nx");
    EXPECT_EQ(testing::StatusOf(put), "HTTP/1.1 403 Forbidden");
    ::kill(server.Pid(), SIGTERM);
    EXPECT_EQ(server.Wait(10s), 0);
    EXPECT_EQ(std::filesystem::last_write_time(shared.Path()), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(shared.Path()),
                            std::filesystem::directory_iterator()),
              2);
    EXPECT_EQ(folder_.Read("quorvane.ini"), settings);
}

TEST_F(HeadlessProgramTest, ANamedFolderThatIsNoFolderIsAUsageError) {
    testing::ChildProcess server({Program(), (folder_.Path() / "missing").string()},
                                 folder_.Path());
    EXPECT_EQ(server.Wait(10s), 2);
    EXPECT_NE(server.Errors().find("is not a folder"), std::string::npos);
}

// Run with few descriptors, as a desktop session may start it, and flooded
// from many addresses: edits made meanwhile all apply, none is taken for an
// empty list or default settings.
TEST_F(HeadlessProgramTest, AFloodUnderALowDescriptorLimitLosesNoEdit) {
    const uint16_t port = testing::FreePort();
    UsePort(port);
    folder_.Write("www/pub/pub.txt", "PUBLIC");
    testing::ChildProcess server({"/usr/bin/prlimit", "--nofile=64:256", Program()},
                                 folder_.Path());
    ASSERT_TRUE(server.WaitForOutput("Quorvane Ready...", 10s)) << server.Errors();
    std::ifstream file("/proc/" + std::to_string(server.Pid()) + "/limits");
    const std::string limits{std::istreambuf_iterator<char>(file), {}};
    EXPECT_NE(limits.find("Max open files            256                  256"), std::string::npos)
        << "the soft limit raised to the hard one: " << limits;

    std::vector<std::unique_ptr<testing::RawClient>> flood;
    for (int client = 10; client < 30; ++client) {
        const std::string source = "127.0.0." + std::to_string(client);
        for (int i = 0; i < 20; ++i) {
            flood.push_back(
                std::make_unique<testing::RawClient>(port, 2000ms, "127.0.0.1", source));
            flood.back()->Send("GET /pub/pub.txt HTTP/1.1\r\nHost: x\r\n");
        }
    }
    const auto fetch = [&](std::string_view path, const char* source = "127.0.0.99") {
        return testing::StatusOf(testing::Exchange(
            port, "GET " + std::string(path) + " HTTP/1.0\r\n\r\n", "127.0.0.1", source));
    };
    ASSERT_EQ(fetch("/pub/pub.txt"), "HTTP/1.1 200 OK");
    const auto lists = folder_.Program();
    ASSERT_TRUE(config::WriteRecords(lists.ListFilePath(config::kBlockList), {{"127.0.0.1"}}));
    EXPECT_EQ(fetch("/index.htm", "127.0.0.1"), "HTTP/1.1 403 Forbidden");
    std::vector<config::Record> dirs;
    for (const config::VirtualDirectory& directory :
         config::ReadDirectories(lists.ListFilePath(config::kDirsList))) {
        dirs.push_back(directory.ToRecord());
    }
    dirs.push_back(config::VirtualDirectory{"/pub/", "www/pub", true}.ToRecord());
    ASSERT_TRUE(config::WriteRecords(lists.ListFilePath(config::kDirsList), dirs));
    EXPECT_EQ(fetch("/pub/pub.txt"), "HTTP/1.1 401 Unauthorized");
    ASSERT_TRUE(config::WriteSetting(lists.SettingsPath(), "HomePage", "Secure", "1"));
    EXPECT_EQ(fetch("/index.htm"), "HTTP/1.1 401 Unauthorized");
    flood.clear();
    EXPECT_EQ(fetch("/pub/pub.txt"), "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(fetch("/index.htm", "127.0.0.1"), "HTTP/1.1 403 Forbidden");
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(10s), 0);
    EXPECT_EQ(server.Output().find("cannot be read"), std::string::npos) << server.Output();
}

// A link is made, listed and ended from the command line while the server
// runs, and opens a secure folder's file without its password meanwhile.
TEST_F(HeadlessProgramTest, LinksAreMadeListedAndEndedFromTheCommandLine) {
    const uint16_t port = testing::FreePort();
    UsePort(port);
    const auto run = [&](std::vector<std::string> arguments, int status) {
        arguments.insert(arguments.begin(), Program());
        testing::ChildProcess command(arguments, folder_.Path());
        EXPECT_EQ(command.Wait(10s), status) << arguments[1] << ": " << command.Errors();
        return command.Output() + command.Errors();
    };
    const std::string page = (folder_.Path() / "www/private/index.htm").string();
    const std::string url = run({"--share", page, "--downloads", "5", "--note", "for Ann"}, 0);
    const std::string prefix = "http://localhost:" + std::to_string(port) + "/s/";
    ASSERT_EQ(url.rfind(prefix, 0), 0u) << url;
    const std::string path = url.substr(prefix.size() - 3, url.size() - prefix.size() + 2);
    EXPECT_EQ(folder_.Read("shares.lst").find(path.substr(3)), std::string::npos);

    const std::string listed = run({"--shares"}, 0);
    EXPECT_NE(listed.find("5 downloads left  " + page + "  (for Ann)"), std::string::npos)
        << listed;
    testing::ChildProcess server({Program()}, folder_.Path());
    ASSERT_TRUE(server.WaitForOutput("Quorvane Ready...", 10s)) << server.Errors();
    const auto get = [&](std::string_view target) {
        return testing::StatusOf(
            testing::Exchange(port, "GET " + std::string(target) + " HTTP/1.0\r\n\r\n"));
    };
    EXPECT_EQ(get("/private/index.htm"), "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(get(path), "HTTP/1.1 200 OK");
    run({"--revoke", listed.substr(0, 6)}, 0);
    EXPECT_EQ(get(path), "HTTP/1.1 404 Not Found");
    EXPECT_NE(run({"--revoke", listed.substr(0, 6)}, 1).find("no link has the ID"),
              std::string::npos);
    EXPECT_NE(run({"--share", "/etc/passwd"}, 1).find("is not inside a folder the site serves"),
              std::string::npos);
    EXPECT_NE(run({"--share", (folder_.Path() / "users.lst").string()}, 1).find("own files"),
              std::string::npos);
    ::kill(server.Pid(), SIGTERM);
    EXPECT_EQ(server.Wait(10s), 0);
}

TEST_F(HeadlessProgramTest, ATakenPortEndsTheProgramWithStatusOne) {
    const testing::RunningSite holder;
    UsePort(holder.Port());
    testing::ChildProcess server({Program()}, folder_.Path());
    EXPECT_EQ(server.Wait(10s), 1);
    EXPECT_NE(server.Output().find("Quorvane could not listen on port " +
                                   std::to_string(holder.Port()) + ": Address already in use"),
              std::string::npos)
        << server.Output();
}

TEST_F(HeadlessProgramTest, AnswersHelpVersionAndUnknownOptionsWithoutServing) {
    testing::ChildProcess help({Program(), "--help"}, folder_.Path());
    EXPECT_EQ(help.Wait(10s), 0);
    EXPECT_EQ(help.Output().rfind("Usage: quorvane-server [--folder DIR] [--port N]", 0), 0u)
        << help.Output();

    testing::ChildProcess version({Program(), "--version"}, folder_.Path());
    EXPECT_EQ(version.Wait(10s), 0);
    EXPECT_EQ(version.Output(), "quorvane-server (Quorvane2000) 2.1.0\n");

    testing::ChildProcess unknown({Program(), "--portable"}, folder_.Path());
    EXPECT_EQ(unknown.Wait(10s), 2);
    EXPECT_EQ(unknown.Output(), "");
    EXPECT_EQ(unknown.Errors().rfind("quorvane-server: unknown option '--portable'\nUsage: ", 0),
              0u)
        << unknown.Errors();
}

// --add-user takes the password from standard input when no one types it.
TEST_F(HeadlessProgramTest, AddUserStoresAHashOfThePasswordItReads) {
    const auto add = [&](std::string_view input, std::string_view name) {
        return testing::RunCommand("printf '" + std::string(input) + "' | '" + Program() +
                                   "' --folder '" + folder_.Path().string() + "' --add-user '" +
                                   std::string(name) + "'");
    };
    const std::string users = (folder_.Path() / "users.lst").string();
    const std::pair<testing::CommandResult, std::string> runs[] = {
        {add("n3w pass\\n", "GUEST"), "Changed the password of GUEST in " + users + "\n"},
        {add("first", "dana"), "Added the user dana in " + users + "\n"},
        {add("", "erin"), "quorvane-server: the password is empty\n"},
        {add("x\\n", "a:b"), "quorvane-server: a user name cannot hold a colon\n"},
    };
    for (const auto& [run, output] : runs) {
        EXPECT_EQ(run.output, output);
        EXPECT_EQ(run.status, output.starts_with("quorvane-server:") ? 1 : 0) << output;
    }
    EXPECT_EQ(folder_.Users({"n3w pass", "first"}), "guest:#n3w pass dana:#first");
    EXPECT_EQ(testing::ModeOf(users), 0600u);
}

// Installed, the program finds no settings beside it: its first start fills
// ~/.config/quorvane from share/quorvane and everything it writes goes there.
// It serves, prints the log view, and stops on an interrupt.
TEST_F(HeadlessProgramTest, AnInstalledServerCreatesThePerUserFolderAndStopsOnInterrupt) {
    const std::filesystem::path root = folder_.Path() / "root";
    const std::filesystem::path samples = root / "usr/share/quorvane";
    std::filesystem::create_directories(root / "usr/bin");
    std::filesystem::create_directories(samples);
    std::filesystem::copy_file(Program(), root / "usr/bin/quorvane-server");
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
        const std::string name = entry.path().filename().string();
        if (name != "root" && name != "linux" && name != "quorvane-server") {
            std::filesystem::copy(entry.path(), samples / name,
                                  std::filesystem::copy_options::recursive);
        }
    }
    const uint16_t port = testing::FreePort();
    UsePort(port);
    std::filesystem::copy_file(folder_.Path() / "quorvane.ini", samples / "quorvane.ini",
                               std::filesystem::copy_options::overwrite_existing);
    const std::filesystem::path home = folder_.Path() / "home";
    const std::filesystem::path perUser = home / ".config/quorvane";

    testing::ChildProcess server({"/usr/bin/env", "-u", "XDG_CONFIG_HOME", "HOME=" + home.string(),
                                  (root / "usr/bin/quorvane-server").string()},
                                 folder_.Path());
    ASSERT_TRUE(server.WaitForOutput("Quorvane Ready...", 10s)) << server.Output();
    // The first line says where it listens; the notice comes right after it.
    const std::string first = server.Output().substr(0, server.Output().find("\r\n"));
    EXPECT_EQ(first.rfind("Listening on http://127.0.0.1:" + std::to_string(port), 0), 0u) << first;
    EXPECT_TRUE(first.ends_with(" (this computer only)")) << first;
    const std::string notice = "Created the program folder " + perUser.string() +
                               " from the samples in " + samples.string() + "\r\n";
    EXPECT_EQ(server.Output().compare(server.Output().find("\r\n") + 2, notice.size(), notice), 0)
        << server.Output();
    EXPECT_NE(testing::Exchange(port, "GET /style.css HTTP/1.0\r\n\r\n").find("200 OK"),
              std::string::npos);
    EXPECT_TRUE(server.WaitForOutput("For Document: style.css\r\n", 5s));

    server.Signal(SIGINT);
    EXPECT_EQ(server.Wait(10s), 0);
    EXPECT_NE(folder_.Read("home/.config/quorvane/quorvane.log").find("GET /style.css HTTP/1.0"),
              std::string::npos);
}

}  // namespace
}  // namespace quorvane
