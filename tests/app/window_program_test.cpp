// The window program as a user starts it, with other users' sockets about.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "support/child_process.h"
#include "support/http_client.h"
#include "support/temp_folder.h"
#include "ui/control/instance_key.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A bare listening socket, as someone else could leave under the window's name.
class ForeignListener {
  public:
    explicit ForeignListener(const fs::path& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        listening_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::listen(fd_, 4) == 0;
    }
    ~ForeignListener() { ::close(fd_); }
    bool Listening() const { return listening_; }
    // A connection, once made, waits in the queue until accepted.
    bool Called() const {
        pollfd wait{fd_, POLLIN, 0};
        return ::poll(&wait, 1, 0) == 1;
    }

  private:
    int fd_;
    bool listening_ = false;
};

class WindowProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy(QUORVANE_DIST_PATH, site_.Path(), fs::copy_options::recursive);
        const fs::path settings = site_.Path() / "quorvane.ini";
        config::WriteSetting(settings, "Server", "Port", std::to_string(port_));
        config::WriteSetting(settings, "Server", "Listen", "Local");
        config::WriteSetting(settings, "StartUp", "AutoStart", "True");
    }

    std::vector<std::string> Window(const fs::path& runtime, const fs::path& temp) const {
        return {"/usr/bin/env",
                "XDG_RUNTIME_DIR=" + runtime.string(),
                "TMPDIR=" + temp.string(),
                "QT_QPA_PLATFORM=offscreen",
                QUORVANE_WINDOW_PATH,
                "--folder",
                site_.Path().string()};
    }
    std::string Key() const { return ui::InstanceKey(site_.Path(), ::getuid()); }

    // The window has started its server once a page comes back.
    bool Serves() const {
        for (int attempt = 0; attempt < 500; ++attempt) {
            if (testing::Exchange(port_, "GET / HTTP/1.0\r\n\r\n").find(" 200 OK") !=
                std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    const uint16_t port_ = testing::FreePort();
    const testing::TempFolder site_;
    const testing::TempFolder work_;
    testing::TempFolder outputs_[2];  // each program's standard output and error
};

TEST_F(WindowProgramTest, ASecondStartOnTheSameFolderEndsAndLeavesTheFirstServing) {
    const testing::TempFolder runtime;  // private, as a session's runtime folder is
    testing::ChildProcess first(Window(runtime.Path(), work_.Path()), outputs_[0].Path());
    ASSERT_TRUE(Serves()) << first.Errors();
    testing::ChildProcess second(Window(runtime.Path(), work_.Path()), outputs_[1].Path());
    EXPECT_EQ(second.Wait(10s), 0) << second.Errors();
    EXPECT_TRUE(Serves());
    first.Signal(SIGTERM);
    EXPECT_TRUE(first.Wait(10s).has_value());
}

TEST_F(WindowProgramTest, OtherUsersSocketsOfTheSameNameNeitherStopNorReachIt) {
    // Both places the window could use are open to others, and each holds a
    // listener of the window's name, as does the shared temporary folder
    // itself: it serves unguarded and asks none of them.
    const fs::path runtime = work_.Path() / "run";
    const fs::path shared = work_.Path() / ("quorvane-" + std::to_string(::getuid()));
    for (const fs::path& folder : {runtime, shared}) {
        fs::create_directory(folder);
        fs::permissions(folder, fs::perms(0777));
    }
    const ForeignListener inRuntime(runtime / Key());
    const ForeignListener inShared(shared / Key());
    const ForeignListener inTemp(work_.Path() / Key());
    ASSERT_TRUE(inRuntime.Listening() && inShared.Listening() && inTemp.Listening());

    testing::ChildProcess window(Window(runtime, work_.Path()), outputs_[0].Path());
    ASSERT_TRUE(Serves()) << window.Errors();
    EXPECT_FALSE(inRuntime.Called());
    EXPECT_FALSE(inShared.Called());
    EXPECT_FALSE(inTemp.Called());
    window.Signal(SIGTERM);
    EXPECT_TRUE(window.Wait(10s).has_value());
}

}  // namespace
}  // namespace quorvane
