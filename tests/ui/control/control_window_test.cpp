#include "ui/control/control_window.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTabWidget>

#include "config/settings_file.h"
#include "support/http_client.h"
#include "support/temp_folder.h"
#include "support/ui_fakes.h"

namespace quorvane::ui {
namespace {

using testing::FakeDesktop;
using testing::FakeMessages;
using testing::WaitUntil;

class ControlWindowTest : public ::testing::Test {
  protected:
    ControlWindowTest() {
        std::filesystem::copy(QUORVANE_DIST_PATH, folder_.Path(),
                              std::filesystem::copy_options::recursive);
    }

    ControlWindow& Window(uint16_t port = 0) {
        window_ = std::make_unique<ControlWindow>(ControlWindow::Setup{
            folder_.Program(), "/opt/quorvane/quorvane", folder_.Path() / "autostart", messages_,
            desktop_, server::ServerControl::Options{"127.0.0.1", port}});
        return *window_;
    }

    template <typename T>
    T* Find(const char* name) {
        T* found = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString Text(const char* label) { return Find<QLabel>(label)->text(); }
    QString Log() { return Find<QPlainTextEdit>("ServerWindow")->toPlainText(); }
    void SetSetting(const char* section, const char* key, const char* value) {
        config::WriteSetting(folder_.Path() / "quorvane.ini", section, key, value);
    }

    testing::TempFolder folder_;
    FakeMessages messages_;
    FakeDesktop desktop_;
    std::unique_ptr<ControlWindow> window_;
};

TEST_F(ControlWindowTest, StartupFillsTheInformationTab) {
    ControlWindow& window = Window();
    window.Startup();
    EXPECT_EQ(window.windowTitle(), "Quorvane2000 - 2.1.0");
    EXPECT_TRUE(messages_.warnings.empty());
    auto* tabs = Find<QTabWidget>("SSTab1");
    EXPECT_EQ(tabs->tabText(0), "Information ");
    EXPECT_EQ(tabs->tabText(1), "Access Log");
    EXPECT_EQ(tabs->tabText(2), "About Quorvane");
    EXPECT_TRUE(Text("SiteURL").startsWith("http://"));
    EXPECT_TRUE(Text("SiteURL").endsWith(":8080"));
    EXPECT_EQ(Find<QLabel>("SiteURL")->toolTip(), "Go to the locally serverd site.");
    EXPECT_EQ(Text("ServerLoc"), QString::fromStdString((folder_.Path() / "www").string()));
    EXPECT_FALSE(Text("ServerIP").isEmpty());
    EXPECT_EQ(Text("TimeStarted"), "Quorvane Not Started");
    EXPECT_EQ(Text("LoggingStatus"), "Log Refreshed By User");
    EXPECT_EQ(Text("ReleaseVersion"), "Release Version 2.1.0");
    EXPECT_TRUE(Find<QPushButton>("Command3")->isEnabled());
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Start Quorvane");
    EXPECT_EQ(Find<QPushButton>("Command1")->text(), "&Options...");
    EXPECT_TRUE(Find<QPushButton>("StartBtn")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("KillBtn")->isEnabled());
    ASSERT_NE(window.Tray(), nullptr);
    EXPECT_EQ(window.Tray()->toolTip(), "Quorvane2000 - 2.1.0");
    EXPECT_TRUE(window.isVisible());
}

TEST_F(ControlWindowTest, MissingSettingsWarnOnceAndDoNothingElse) {
    std::filesystem::remove(folder_.Path() / "quorvane.ini");
    std::filesystem::remove(folder_.Path() / "dirs.lst");
    ControlWindow& window = Window();
    window.Startup();
    EXPECT_EQ(messages_.warnings,
              std::vector<QString>{"Load Error: quorvane.ini cannot be found. please reinstall"});
    EXPECT_EQ(window.Tray(), nullptr);
    EXPECT_TRUE(Text("SiteURL").isEmpty());
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "quorvane.log"));
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "dirs.lst"));
    EXPECT_TRUE(window.isVisible());
}

TEST_F(ControlWindowTest, LogPolicyShowsInTheLabelAndTheRefreshButton) {
    SetSetting("Logging", "RefreshOnRun", "Truex");
    Window().Startup();
    EXPECT_EQ(Text("LoggingStatus"), "Log Refreshed On Every Run");
    EXPECT_FALSE(Find<QPushButton>("Command3")->isEnabled());

    SetSetting("Logging", "RefreshOnRun", "true");  // not a truth word
    SetSetting("Logging", "RefreshOnStop", "True");
    Window().Startup();
    EXPECT_EQ(Text("LoggingStatus"), "Log Refreshed On Every Stop/Start");
    EXPECT_FALSE(Find<QPushButton>("Command3")->isEnabled());
}

TEST_F(ControlWindowTest, ToggleServesAndTheLogViewFollows) {
    ControlWindow& window = Window();
    window.Startup();
    Find<QPushButton>("Command2")->click();
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Stop Quorvane");
    EXPECT_EQ(Find<QMenu>("SystemTrayMenu")->actions().front()->text(), "&Stop");
    ASSERT_TRUE(WaitUntil([&] { return Log().contains("Quorvane Ready..."); }));
    EXPECT_FALSE(Find<QPushButton>("StartBtn")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>("KillBtn")->isEnabled());
    EXPECT_NE(Text("TimeStarted"), "Quorvane Not Started");
    EXPECT_TRUE(Log().startsWith("Quorvane started at "));
    EXPECT_TRUE(
        Log().contains(QStringLiteral("Listening on port: %1\n").arg(window.Control().Port())));

    EXPECT_NE(testing::Exchange(window.Control().Port(), "GET / HTTP/1.0\r\n\r\n").find("200 OK"),
              std::string::npos);
    EXPECT_TRUE(WaitUntil(
        [&] { return Log().contains("Connection By: 127.0.0.1 For Document: Default\n"); }));
    EXPECT_TRUE(WaitUntil([&] { return Find<QProgressBar>("LoadIndicator")->value() == 0; }));

    Find<QPushButton>("Command2")->click();
    EXPECT_TRUE(WaitUntil([&] { return Log().endsWith("\nQuorvane Halted"); }));
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Start Quorvane");
    EXPECT_EQ(Text("TimeStarted"), "Quorvane Not Started");
    EXPECT_TRUE(Find<QPushButton>("StartBtn")->isEnabled());
    EXPECT_FALSE(window.Control().IsListening());
}

TEST_F(ControlWindowTest, StartAndStopButtonsLeaveTheToggleCaption) {
    ControlWindow& window = Window();
    window.Startup();
    Find<QPushButton>("StartBtn")->click();
    ASSERT_TRUE(WaitUntil([&] { return Find<QPushButton>("KillBtn")->isEnabled(); }));
    EXPECT_TRUE(window.Control().IsListening());
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Start Quorvane");
    Find<QPushButton>("KillBtn")->click();
    ASSERT_TRUE(WaitUntil([&] { return Find<QPushButton>("StartBtn")->isEnabled(); }));
    EXPECT_FALSE(window.Control().IsListening());
}

TEST_F(ControlWindowTest, AStartFailureLeavesEverythingStopped) {
    const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(holder, 1), 0);
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
    const uint16_t port = ntohs(address.sin_port);

    Window(port).Startup();
    Find<QPushButton>("Command2")->click();
    EXPECT_TRUE(WaitUntil([&] {
        return Log().contains(
            QStringLiteral("Quorvane could not listen on port %1: Address already in use")
                .arg(port));
    }));
    EXPECT_TRUE(
        WaitUntil([&] { return Find<QPushButton>("Command2")->text() == "&Start Quorvane"; }));
    EXPECT_TRUE(Find<QPushButton>("StartBtn")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("KillBtn")->isEnabled());
    EXPECT_EQ(Find<QMenu>("SystemTrayMenu")->actions().front()->text(), "&Start");
    ::close(holder);
}

TEST_F(ControlWindowTest, AutoStartStartsTheServerAtStartup) {
    SetSetting("StartUp", "AutoStart", "True");
    ControlWindow& window = Window();
    window.Startup();
    EXPECT_TRUE(window.Control().IsListening());
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Stop Quorvane");
    EXPECT_TRUE(Find<QAction>("mnuAutoStart")->isChecked());
    EXPECT_TRUE(Find<QAction>("mnuAutoStart1")->isChecked());
}

TEST_F(ControlWindowTest, CheckMarkPairsMoveTogetherAndWriteTheirSettings) {
    Window().Startup();
    Find<QAction>("mnuAutoStart")->trigger();
    EXPECT_TRUE(Find<QAction>("mnuAutoStart1")->isChecked());
    EXPECT_NE(folder_.Read("autostart/quorvane.desktop").find("Exec=/opt/quorvane/quorvane\n"),
              std::string::npos);
    EXPECT_EQ(
        config::Settings::Load(folder_.Path() / "quorvane.ini").Read("StartUp", "AutoStart", ""),
        "True");
    Find<QAction>("mnuAutoStart1")->trigger();
    EXPECT_FALSE(Find<QAction>("mnuAutoStart")->isChecked());
    EXPECT_NE(folder_.Read("autostart/quorvane.desktop").find("Hidden=true\n"), std::string::npos);

    Find<QAction>("mnuMinimise1")->trigger();
    EXPECT_TRUE(Find<QAction>("mnuMinimise")->isChecked());
    EXPECT_EQ(
        config::Settings::Load(folder_.Path() / "quorvane.ini").Read("StartUp", "Minimise", ""),
        "True");
    EXPECT_FALSE(Find<QAction>("mnuConfigure")->isEnabled());  // until an options dialog is set
}

TEST_F(ControlWindowTest, MinimisingHidesOnlyWhenATrayExists) {
    ControlWindow& window = Window();
    window.Startup();
    window.showMinimized();
    EXPECT_TRUE(WaitUntil([&] { return !window.isVisible(); }));
    window.RestoreWindow();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());

    desktop_.tray = false;
    ControlWindow& noTray = Window();
    noTray.Startup();
    noTray.showMinimized();
    QApplication::processEvents();
    EXPECT_TRUE(noTray.isVisible());

    SetSetting("StartUp", "Minimise", "True");
    desktop_.tray = true;
    ControlWindow& minimised = Window();
    minimised.Startup();
    EXPECT_FALSE(minimised.isVisible());
    EXPECT_TRUE(Find<QAction>("mnuMinimise")->isChecked());
}

TEST_F(ControlWindowTest, SiteUrlOpensTheBrowserOrSaysWhyNot) {
    Window().Startup();
    auto* url = Find<QLabel>("SiteURL");
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(url, &release);
    EXPECT_EQ(desktop_.opened, std::vector<QString>{url->text()});
    EXPECT_TRUE(messages_.warnings.empty());
    desktop_.browserFound = false;
    QApplication::sendEvent(url, &release);
    EXPECT_EQ(messages_.warnings,
              std::vector<QString>{"Browser Not Found: Could not find associated Browser"});
}

TEST_F(ControlWindowTest, TheLogViewKeepsItsLast5000Lines) {
    ControlWindow& window = Window();
    window.Startup();
    for (int i = 0; i < 6000; ++i) {
        window.Observer().OnLogAppended("Connection By: 10.0.0." + std::to_string(i) +
                                        " For Document: Default\r\n");
    }
    auto* log = Find<QPlainTextEdit>("ServerWindow");
    ASSERT_TRUE(WaitUntil([&] { return log->toPlainText().contains("10.0.0.5999 "); }));
    EXPECT_LE(log->blockCount(), 5000);
    EXPECT_FALSE(log->toPlainText().contains("10.0.0.999 "));
}

}  // namespace
}  // namespace quorvane::ui
