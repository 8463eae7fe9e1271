#include "ui/control/control_window.h"

#include <gtest/gtest.h>

#include <fstream>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QTabWidget>

#include "support/child_process.h"
#include "support/test_site.h"
#include "support/ui_fakes.h"
#include "ui/qr_reader.h"

namespace quorvane::ui {
namespace {

using testing::FakeDesktop;
using testing::FakeMessages;
using testing::FakePickers;
using testing::WaitUntil;

class ControlWindowTest : public ::testing::Test {
  protected:
    ControlWindowTest() {
        std::filesystem::copy(QUORVANE_DIST_PATH, folder_.Path(),
                              std::filesystem::copy_options::recursive);
    }

    // Tests listen on 127.0.0.1 only; a window meant to show the network
    // address is told it would listen everywhere, and is never started.
    ControlWindow& Window(std::optional<uint16_t> port = 0,
                          std::string listenAddress = "127.0.0.1") {
        window_ = std::make_unique<ControlWindow>(ControlWindow::Setup{
            folder_.Program(), "/opt/quorvane/quorvane", folder_.Path() / "autostart", messages_,
            desktop_, server::ServerControl::Options{std::move(listenAddress), port, 0}});
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
    void SetSetting(const char* section, const char* key, const std::string& value) {
        config::WriteSetting(folder_.Path() / "quorvane.ini", section, key, value);
    }
    void Click(const char* label) {
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(Find<QLabel>(label), &release);
    }
    QImage TrayIcon() { return window_->Tray()->icon().pixmap(16).toImage(); }
    std::string ShownQrCode() {
        return testing::ReadQrCode(Find<QLabel>("LanQRCode")->pixmap().toImage());
    }

    testing::TempFolder folder_;
    FakeMessages messages_;
    FakeDesktop desktop_;
    FakePickers pickers_;
    std::unique_ptr<ControlWindow> window_;
};

// A GET through the running window's server, signed in as `user` when one is given.
std::string Fetch(ControlWindow& window, const std::string& path, const std::string& user = "") {
    std::string request = "GET " + path + " HTTP/1.0\r\n";
    if (!user.empty()) {
        request += "Authorization: Basic " +
                   QByteArray::fromStdString(user).toBase64().toStdString() + "\r\n";
    }
    return testing::Exchange(window.Control().Port(), request + "\r\n");
}

class ShareTest : public ControlWindowTest {
  protected:
    ShareTest() {
        std::filesystem::create_directories(shared_);
        std::ofstream(shared_ / "hello.txt") << "hello from the shared folder";
    }

    // The window with sharing on; "Add user..." answers from `newUsers_`.
    ControlWindow& SharingWindow() {
        ControlWindow& window = Window();
        window.SetSharing(pickers_, [this](QWidget*) -> std::optional<NewUser> {
            if (newUsers_.empty()) {
                return std::nullopt;
            }
            NewUser user = newUsers_.front();
            newUsers_.erase(newUsers_.begin());
            return user;
        });
        window.Startup();
        return window;
    }
    void PressShare() {
        Find<QDialogButtonBox>("ShareButtons")->button(QDialogButtonBox::Ok)->click();
    }

    std::filesystem::path shared_ = folder_.Path() / "home" / "Holiday Photos";
    std::vector<NewUser> newUsers_;
};

TEST_F(ControlWindowTest, StartupFillsTheInformationTabAndFollowsTheLogPolicy) {
    ControlWindow& window = Window();
    window.Startup();
    EXPECT_TRUE(messages_.warnings.empty());
    EXPECT_TRUE(Text("SiteURL").endsWith(":8080"));
    EXPECT_EQ(Text("ServerLoc"), QString::fromStdString((folder_.Path() / "www").string()));
    EXPECT_EQ(Text("TimeStarted"), "Quorvane Not Started");
    EXPECT_EQ(Text("ListenInfo"), "Only at 127.0.0.1");
    EXPECT_EQ(Text("LoggingStatus"), "Log Refreshed By User");
    EXPECT_TRUE(Find<QPushButton>("Command3")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("KillBtn")->isEnabled());
    EXPECT_EQ(window.Tray()->toolTip(), "Quorvane2000 - 2.1.0\nstopped");

    SetSetting("Logging", "RefreshOnRun", "true");  // not a truth word
    SetSetting("Logging", "RefreshOnStop", "True");
    Window().Startup();
    EXPECT_EQ(Text("LoggingStatus"), "Log Refreshed On Every Stop/Start");
    EXPECT_FALSE(Find<QPushButton>("Command3")->isEnabled());
}

TEST_F(ControlWindowTest, MissingSettingsWarnOnceAndDoNothingElse) {
    std::filesystem::remove(folder_.Path() / "quorvane.ini");
    ControlWindow& window = Window();
    window.Startup();
    EXPECT_EQ(messages_.warnings,
              std::vector<QString>{"Load Error: quorvane.ini cannot be found. please reinstall"});
    window.WatchDesktop();  // no tray icon later either
    EXPECT_EQ(window.Tray(), nullptr);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(ControlWindowTest, ToggleServesAndTheLogViewButtonsAndTrayFollow) {
    ControlWindow& window = Window();
    window.Startup();
    const QImage stoppedIcon = TrayIcon();
    Find<QPushButton>("Command2")->click();
    ASSERT_TRUE(WaitUntil([&] { return Log().contains("Quorvane Ready..."); }));
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Stop Quorvane");
    EXPECT_EQ(Find<QMenu>("SystemTrayMenu")->actions().front()->text(), "&Stop");
    EXPECT_FALSE(Find<QPushButton>("StartBtn")->isEnabled());
    EXPECT_NE(Text("TimeStarted"), "Quorvane Not Started");
    // While it serves, the URLs name the port it listens on, and the tray says so.
    const QString port = QString::number(window.Control().Port());
    EXPECT_TRUE(Log().contains("Listening on port: " + port + "\n"));
    EXPECT_TRUE(Text("SiteURL").endsWith(":" + port));
    EXPECT_EQ(Text("ListenInfo"), "http://127.0.0.1:" + port + " (this computer only)");
    EXPECT_EQ(window.Tray()->toolTip(), "Quorvane2000 - 2.1.0\n" + Text("SiteURL"));
    EXPECT_NE(TrayIcon(), stoppedIcon);
    EXPECT_FALSE(Find<QLabel>("SecureURL")->isVisibleTo(&window));  // HTTPS is off
    EXPECT_FALSE(Find<QLabel>("CertificateFingerprint")->isVisibleTo(&window));
    testing::Exchange(window.Control().Port(), "GET / HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(WaitUntil(
        [&] { return Log().contains("Connection By: 127.0.0.1 For Document: Default\n"); }));

    Find<QPushButton>("Command2")->click();
    // Every message of the log view ends its line.
    EXPECT_TRUE(WaitUntil([&] { return Log().endsWith("\nQuorvane Halted\n"); }));
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Start Quorvane");
    EXPECT_EQ(Text("TimeStarted"), "Quorvane Not Started");
    EXPECT_EQ(window.Tray()->toolTip(), "Quorvane2000 - 2.1.0\nstopped");
    EXPECT_EQ(TrayIcon(), stoppedIcon);

    // The start and stop buttons, the toggle and its tray item all show what runs.
    Find<QPushButton>("StartBtn")->click();
    EXPECT_TRUE(window.Control().IsListening());
    EXPECT_TRUE(Find<QPushButton>("KillBtn")->isEnabled());
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Stop Quorvane");
    EXPECT_EQ(Find<QMenu>("SystemTrayMenu")->actions().front()->text(), "&Stop");
    Find<QMenu>("SystemTrayMenu")->actions().front()->trigger();  // stops what the button started
    EXPECT_FALSE(window.Control().IsListening());
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Start Quorvane");
    EXPECT_TRUE(Find<QPushButton>("StartBtn")->isEnabled());
    Find<QPushButton>("Command2")->click();
    Find<QPushButton>("KillBtn")->click();
    EXPECT_FALSE(window.Control().IsListening());
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Start Quorvane");
    EXPECT_EQ(Find<QMenu>("SystemTrayMenu")->actions().front()->text(), "&Start");
}

// The labels shown in the window whose text does not fit in the room their
// own geometry, and every widget around them, gives.
QStringList ClippedLabels(QWidget& window) {
    for (int round = 0; round < 10; ++round) {
        QApplication::processEvents();  // the layouts, and the window's size, settle
    }
    QStringList clipped;
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (!label->isVisibleTo(&window) || label->text().isEmpty()) {
            continue;
        }
        const QRect room = label->contentsRect();
        const int flags = Qt::TextShowMnemonic | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, room.width(), 1 << 20),
                                                               flags, label->text());
        bool fits = needed.width() <= room.width() && needed.height() <= room.height();
        for (QWidget* around = label->parentWidget(); fits && around != nullptr;
             around = around->parentWidget()) {
            fits =
                around->rect().contains(QRect(label->mapTo(around, room.topLeft()), needed.size()));
            if (around == &window) {
                break;
            }
        }
        if (!fits) {
            clipped << QStringLiteral("%1 (%2x%3 in %4x%5): %6")
                           .arg(label->objectName())
                           .arg(needed.width())
                           .arg(needed.height())
                           .arg(room.width())
                           .arg(room.height())
                           .arg(label->text());
        }
    }
    return clipped;
}

TEST_F(ControlWindowTest, RefreshLogAsksBeforeItEmptiesTheLogFile) {
    ControlWindow& window = Window();
    window.Startup();
    folder_.Write("quorvane.log", "an earlier visit\r\n");
    const QString shown = Log();
    messages_.answer = false;
    Find<QPushButton>("Command3")->click();
    ASSERT_EQ(messages_.questions.size(), 1u);
    EXPECT_TRUE(messages_.questions[0].contains("quorvane.log will be emptied"));
    EXPECT_TRUE(messages_.questions[0].contains("is kept"));
    EXPECT_EQ(folder_.Read("quorvane.log"), "an earlier visit\r\n");
    messages_.answer = true;
    Find<QPushButton>("Command3")->click();
    EXPECT_EQ(folder_.Read("quorvane.log"), "");
    EXPECT_EQ(Log(), shown);
}

TEST_F(ControlWindowTest, HttpsShowsItsAddressAndTheFingerprintToCompare) {
    SetSetting("Server", "HttpsPort", "1");  // on, at a free port
    ControlWindow& window = Window();
    window.Startup();
    Find<QPushButton>("Command2")->click();
    ASSERT_TRUE(WaitUntil([&] { return Log().contains("Quorvane Ready..."); }))
        << Log().toStdString();
    // The fingerprint openssl shows; the HTTPS tests compare the two.
    const QString fingerprint = QString::fromStdString(window.Control().Fingerprint());
    ASSERT_EQ(fingerprint.size(), 95);
    // All 32 bytes, eight to a line, from the first time the tab shows.
    EXPECT_EQ(Text("CertificateFingerprint"),
              "SHA-256 " + fingerprint.left(24) + "\n" + fingerprint.mid(24, 24) + "\n" +
                  fingerprint.mid(48, 24) + "\n" + fingerprint.mid(72));
    EXPECT_EQ(ClippedLabels(window).join('\n').toStdString(), "");
    EXPECT_TRUE(Log().contains("HTTPS certificate SHA-256 fingerprint: " + fingerprint + "\n"));
    const QString secure = QStringLiteral("https://%1:%2")
                               .arg(QString::fromStdString(window.Control().Host().hostName))
                               .arg(window.Control().HttpsPort());
    EXPECT_EQ(Text("SecureURL"), secure);
    EXPECT_TRUE(Find<QLabel>("SecureURL")->isVisibleTo(&window));
    Click("SecureURL");
    EXPECT_EQ(desktop_.urls, std::vector<QString>{secure});
    EXPECT_TRUE(
        Text("ListenInfo")
            .contains(
                QStringLiteral(" and https://127.0.0.1:%1 ").arg(window.Control().HttpsPort())));
    // The file manager's address names the port HTTPS listens on, not the one set.
    SetSetting("HomePage", "Changes", "1");
    window.SettingsSaved();
    EXPECT_EQ(Text("FileManagerURL"),
              QStringLiteral("davs://%1:%2/")
                  .arg(QString::fromStdString(window.Control().Host().hostName))
                  .arg(window.Control().HttpsPort()));

    Find<QPushButton>("Command2")->click();
    ASSERT_TRUE(WaitUntil([&] { return Log().endsWith("Quorvane Halted\n"); }));
    EXPECT_FALSE(Find<QLabel>("SecureURL")->isVisibleTo(&window));
    EXPECT_FALSE(Find<QLabel>("CertificateFingerprint")->isVisibleTo(&window));
}

// With a font twice the usual size, at 1024x768 and after resizing, every
// label of the Information tab shows all of its text.
TEST_F(ControlWindowTest, EveryLabelShowsAllOfItsTextInABigFontAtAnySize) {
    const QFont usual = QApplication::font();
    QFont big = usual;
    big.setPointSizeF(usual.pointSizeF() * 2);
    QApplication::setFont(big);
    SetSetting("Server", "HttpsPort", "1");
    SetSetting("HomePage", "RootDirectory",
               (folder_.Path() / "a folder with a rather long name" / "and another one below it")
                   .string());
    folder_.WriteDirs(
        {{.name = "/", .folder = "www"}, {.name = "/drop/", .folder = "www", .uploads = true}});
    ControlWindow& window = Window(0, "127.0.0.1");
    window.Startup();
    window.ToggleServer();
    ASSERT_TRUE(WaitUntil([&] { return Log().contains("Quorvane Ready..."); }));
    const QSize sizes[] = {{1024, 768}, {700, 500}, {640, 480}, {1024, 768}, {1600, 900}};
    for (const QSize size : sizes) {
        window.resize(size);
        EXPECT_EQ(ClippedLabels(window).join('\n').toStdString(), "")
            << size.width() << "x" << size.height() << " became " << window.width() << "x"
            << window.height();
        EXPECT_LE(window.width(), std::max(size.width(), 1024));
        EXPECT_LE(window.height(), std::max(size.height(), 768));
    }
    // A start that failed says so at length.
    window.ToggleServer();
    const testing::RunningSite holder;
    SetSetting("Server", "Port", std::to_string(holder.Port()));
    ControlWindow& failed = Window(std::nullopt, "127.0.0.1");
    failed.Startup();
    failed.ToggleServer();
    ASSERT_TRUE(WaitUntil([&] { return Find<QLabel>("StartProblem")->isVisibleTo(&failed); }));
    for (const QSize size : {QSize(1024, 768), QSize(640, 480)}) {
        failed.resize(size);
        EXPECT_EQ(ClippedLabels(failed).join('\n').toStdString(), "")
            << size.width() << "x" << size.height();
    }
    QApplication::setFont(usual);
}

TEST_F(ControlWindowTest, AFailedStartIsShownWhereTheUserLooks) {
    const testing::RunningSite holder;
    Window(holder.Port()).Startup();
    Find<QTabWidget>("SSTab1")->setCurrentIndex(1);
    Find<QPushButton>("Command2")->click();
    // The toggle and its tray item show the server's answer at once, not after the report.
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Start Quorvane");
    EXPECT_EQ(Find<QMenu>("SystemTrayMenu")->actions().front()->text(), "&Start");
    const QString failure =
        QStringLiteral("Quorvane could not listen on port %1: Address already in use")
            .arg(holder.Port());
    ASSERT_TRUE(WaitUntil([&] { return !messages_.warnings.empty(); }));
    // A message box naming the port and the reason ...
    EXPECT_TRUE(messages_.warnings.front().startsWith("Start Error: " + failure + ". "))
        << messages_.warnings.front().toStdString();
    // ... the Information tab, brought forward, says it too ...
    EXPECT_EQ(Find<QTabWidget>("SSTab1")->currentIndex(), 0);
    EXPECT_TRUE(Find<QLabel>("StartProblem")->isVisibleTo(window_.get()));
    EXPECT_TRUE(Text("StartProblem").startsWith(failure));
    // ... and in the log view it stands on its own line.
    EXPECT_TRUE(Log().split('\n').contains(failure)) << Log().toStdString();
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Start Quorvane");
    EXPECT_FALSE(Find<QPushButton>("KillBtn")->isEnabled());
}

TEST_F(ControlWindowTest, SavedSettingsShowAtOnceAndMoveARunningListener) {
    const uint16_t first = testing::FreePort();
    SetSetting("Server", "Port", std::to_string(first));
    ControlWindow& window = Window(std::nullopt);
    std::function<void()> edit;
    window.SetOptionsDialog([&](QWidget*) {
        edit();
        return true;  // saved
    });
    window.Startup();
    Find<QPushButton>("Command2")->click();
    ASSERT_TRUE(WaitUntil([&] { return Log().contains("Quorvane Ready..."); }));
    ASSERT_EQ(window.Control().Port(), first);

    const uint16_t second = testing::FreePort();
    const std::string elsewhere = (folder_.Path() / "elsewhere").string();
    edit = [&] {
        SetSetting("Server", "Port", std::to_string(second));
        SetSetting("HomePage", "RootDirectory", elsewhere);
    };
    Find<QAction>("mnuConfigure")->trigger();
    EXPECT_EQ(window.Control().Port(), second);
    EXPECT_TRUE(WaitUntil([&] {
        return Log().contains(
            QStringLiteral("The port setting changed from %1 to %2: the listener was restarted.\n")
                .arg(first)
                .arg(second));
    }));
    EXPECT_TRUE(Text("SiteURL").endsWith(QStringLiteral(":%1").arg(second)));
    EXPECT_EQ(Text("ServerLoc"), QString::fromStdString(elsewhere));
    EXPECT_NE(testing::Exchange(second, "GET / HTTP/1.0\r\n\r\n").find("HTTP/1.1"),
              std::string::npos);

    // A port that is taken leaves the server where it was, says so once, and
    // the tab goes on showing what is in effect.
    const testing::RunningSite holder;
    edit = [&] { SetSetting("Server", "Port", std::to_string(holder.Port())); };
    Find<QAction>("mnuConfigure")->trigger();
    ASSERT_EQ(messages_.warnings.size(), 1u);
    EXPECT_EQ(messages_.warnings[0],
              QStringLiteral("Port Not Changed: Port %1 could not be taken (Address already in "
                             "use): Quorvane goes on serving on port %2.")
                  .arg(holder.Port())
                  .arg(second));
    EXPECT_TRUE(window.Control().IsListening());
    EXPECT_EQ(window.Control().Port(), second);
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Stop Quorvane");
    EXPECT_TRUE(WaitUntil([&] { return Log().contains("goes on serving on port"); }));
    EXPECT_TRUE(Text("SiteURL").endsWith(QStringLiteral(":%1").arg(second)));
    EXPECT_FALSE(Find<QLabel>("StartProblem")->isVisibleTo(&window));
    EXPECT_NE(testing::Exchange(second, "GET / HTTP/1.0\r\n\r\n").find("HTTP/1.1"),
              std::string::npos);
    QApplication::processEvents();  // the reports of the attempt come late and change nothing
    EXPECT_EQ(messages_.warnings.size(), 1u);

    // A redirected site shows its URL, which opens in the browser.
    edit = [&] {
        SetSetting("HomePage", "SiteLocation", "Redir");
        SetSetting("HomePage", "RootDirectory", "http://example.com/");
    };
    Find<QAction>("mnuConfigure")->trigger();
    EXPECT_EQ(Text("ServerLoc"), "http://example.com/");
    Click("ServerLoc");
    EXPECT_EQ(desktop_.urls, std::vector<QString>{"http://example.com/"});
    EXPECT_TRUE(desktop_.folders.empty());
}

TEST_F(ControlWindowTest, TheNetworkAddressAndItsQrCodeFollowAddressAndPort) {
    ControlWindow& window = Window(0, "0.0.0.0");
    window.Startup();
    EXPECT_EQ(Text("LanURL"), "http://192.0.2.20:8080");
    EXPECT_EQ(ShownQrCode(), "http://192.0.2.20:8080");
    EXPECT_FALSE(Find<QLabel>("LanNote")->isVisibleTo(&window));
    Find<QPushButton>("CopyLanURL")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://192.0.2.20:8080");
    Click("LanURL");
    EXPECT_EQ(desktop_.urls, std::vector<QString>{"http://192.0.2.20:8080"});

    SetSetting("Server", "Port", "80");
    window.SettingsSaved();
    EXPECT_EQ(ShownQrCode(), "http://192.0.2.20");
    desktop_.addresses = {"::1", "fe80::1", "2001:db8::7"};
    window.WatchDesktop();
    EXPECT_EQ(Text("LanURL"), "http://[2001:db8::7]");
    EXPECT_EQ(ShownQrCode(), "http://[2001:db8::7]");

    desktop_.addresses = {"127.0.0.1", "fe80::1"};
    window.WatchDesktop();
    EXPECT_FALSE(Find<QLabel>("LanQRCode")->isVisibleTo(&window));
    EXPECT_FALSE(Find<QPushButton>("CopyLanURL")->isVisibleTo(&window));
    EXPECT_TRUE(Text("LanNote").startsWith("This computer has no network address"));

    // Listening on this computer only, no other device can use a code.
    Window().Startup();
    EXPECT_FALSE(Find<QLabel>("LanQRCode")->isVisibleTo(window_.get()));
    EXPECT_EQ(Text("LanNote"),
              "The server listens on this computer only: other devices cannot open it.");
}

TEST_F(ControlWindowTest, TheFileManagerAddressShowsWhileAFolderTakesFiles) {
    ControlWindow& window = Window();
    window.Startup();
    // The sample lets no visitor write.
    EXPECT_FALSE(Find<QLabel>("FileManagerURL")->isVisibleTo(&window));
    EXPECT_FALSE(Find<QPushButton>("CopyFileManagerURL")->isVisibleTo(&window));

    folder_.WriteDirs(
        {{.name = "/", .folder = "www"}, {.name = "/drop/", .folder = "www", .uploads = true}});
    window.SettingsSaved();
    const QString host = QString::fromStdString(window.Control().Host().hostName);
    EXPECT_EQ(Text("FileManagerURL"), "dav://" + host + ":8080/");
    EXPECT_TRUE(Find<QLabel>("FileManagerURL")->isVisibleTo(&window));
    auto* copy = Find<QPushButton>("CopyFileManagerURL");
    EXPECT_EQ(copy->text().remove('&'), "Copy");
    copy->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "dav://" + host + ":8080/");

    // Set to serve HTTPS, the address is the secure one.
    SetSetting("Server", "HttpsPort", "8443");
    window.SettingsSaved();
    EXPECT_EQ(Text("FileManagerURL"), "davs://" + host + ":8443/");

    // Where scripts may run, the folder takes nothing.
    folder_.WriteDirs({{.name = "/drop/", .folder = "www", .scripts = true, .uploads = true}});
    window.SettingsSaved();
    EXPECT_FALSE(Find<QLabel>("FileManagerURL")->isVisibleTo(&window));
}

TEST_F(ControlWindowTest, CheckMarkPairsMoveTogetherAndWriteTheirSettings) {
    Window().Startup();
    Find<QAction>("mnuAutoStart")->trigger();
    EXPECT_TRUE(Find<QAction>("mnuAutoStart1")->isChecked());
    EXPECT_TRUE(std::filesystem::exists(folder_.Path() / "autostart/quorvane.desktop"));
    Find<QAction>("mnuMinimise1")->trigger();
    EXPECT_TRUE(Find<QAction>("mnuMinimise")->isChecked());
    const auto settings = config::Settings::Load(folder_.Path() / "quorvane.ini");
    EXPECT_EQ(settings.Read("StartUp", "AutoStart", "") + settings.Read("StartUp", "Minimise", ""),
              "TrueTrue");
    Find<QAction>("mnuAutoStart1")->trigger();
    EXPECT_FALSE(Find<QAction>("mnuAutoStart")->isChecked());
}

TEST_F(ControlWindowTest, MinimisingHidesOnlyWhenATrayExistsAndStartUpFollowsItsSettings) {
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

    // Started minimised, and serving at once.
    SetSetting("StartUp", "Minimise", "True");
    SetSetting("StartUp", "AutoStart", "True");
    desktop_.tray = true;
    ControlWindow& minimised = Window();
    minimised.Startup();
    EXPECT_FALSE(minimised.isVisible());
    EXPECT_TRUE(Find<QAction>("mnuMinimise")->isChecked());
    EXPECT_TRUE(minimised.Control().IsListening());
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Stop Quorvane");
    EXPECT_TRUE(Find<QAction>("mnuAutoStart1")->isChecked());
}

TEST_F(ControlWindowTest, TheTrayBehavesAsOtherTrayPrograms) {
    // A tray host that starts after the program still gets the icon.
    desktop_.tray = false;
    ControlWindow& window = Window();
    window.Startup();
    EXPECT_EQ(window.Tray(), nullptr);
    desktop_.tray = true;
    window.WatchDesktop();
    ASSERT_NE(window.Tray(), nullptr);
    EXPECT_EQ(window.Tray()->contextMenu(), Find<QMenu>("SystemTrayMenu"));

    // A single click hides the window, the next shows it again.
    emit window.Tray()->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(window.isVisible());
    emit window.Tray()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window.isVisible());

    // Closed while it serves, the window goes to the tray and says so once.
    window.ToggleServer();
    ASSERT_TRUE(window.Control().IsListening());
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.Control().IsListening());
    ASSERT_EQ(desktop_.trayMessages.size(), 1u);
    EXPECT_TRUE(desktop_.trayMessages[0].startsWith("Quorvane2000: Quorvane2000 keeps serving "));
    window.RestoreWindow();
    window.close();
    EXPECT_EQ(desktop_.trayMessages.size(), 1u);
    EXPECT_TRUE(window.Control().IsListening());
    // The exit item ends it all the same.
    Find<QAction>("mnuExit")->trigger();
    EXPECT_FALSE(window.Control().IsListening());
    EXPECT_FALSE(window.Tray()->isVisible());

    // Stopped, or without a tray, closing ends the program as it always did.
    ControlWindow& stopped = Window();
    stopped.Startup();
    stopped.close();
    EXPECT_FALSE(stopped.Tray()->isVisible());
    desktop_.tray = false;
    ControlWindow& noTray = Window();
    noTray.Startup();
    noTray.ToggleServer();
    ASSERT_TRUE(noTray.Control().IsListening());
    noTray.close();
    EXPECT_FALSE(noTray.Control().IsListening());
}

TEST_F(ControlWindowTest, LinksOpenTheBrowserOrSayWhyNot) {
    Window().Startup();
    Click("SiteURL");
    EXPECT_EQ(desktop_.urls, std::vector<QString>{Text("SiteURL")});
    Click("ServerLoc");
    EXPECT_EQ(desktop_.folders, std::vector<QString>{Text("ServerLoc")});
    EXPECT_TRUE(messages_.warnings.empty());
    desktop_.urlOpening = UrlOpening::kNoBrowser;
    Click("SiteURL");
    desktop_.urlOpening = UrlOpening::kFailed;
    Click("SiteURL");
    EXPECT_EQ(messages_.warnings,
              (std::vector<QString>{"Browser Not Found: Could not find associated Browser",
                                    "URL: Web Page not Opened"}));
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

TEST_F(ShareTest, ASharedFolderIsServedAtOnceToAnyone) {
    ControlWindow& window = SharingWindow();
    ASSERT_FALSE(window.Control().IsListening());
    pickers_.answers = {QString::fromStdString(shared_.string())};
    Find<QAction>("mnuShare")->trigger();  // from the tray menu
    ASSERT_NE(window.CurrentShareDialog(), nullptr);
    Find<QPushButton>("ShareBrowse")->click();
    EXPECT_EQ(Find<QLineEdit>("ShareName")->text(), "holiday-photos");
    Find<QCheckBox>("ShareUploads")->setChecked(true);
    PressShare();
    ASSERT_TRUE(messages_.warnings.empty()) << messages_.warnings.front().toStdString();

    // The server was started, and the dialog shows where the folder is.
    ASSERT_TRUE(window.Control().IsListening());
    EXPECT_EQ(Find<QPushButton>("Command2")->text(), "&Stop Quorvane");
    const QString url = QStringLiteral("http://%1:%2/holiday-photos/")
                            .arg(QString::fromStdString(window.Control().Host().hostName))
                            .arg(window.Control().Port());
    EXPECT_EQ(Text("ShareUrl"), url);
    EXPECT_EQ(testing::ReadQrCode(Find<QLabel>("ShareQRCode")->pixmap().toImage()),
              url.toStdString());
    Find<QPushButton>("ShareCopy")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), url);
    const auto records = config::ReadDirectories(folder_.Path() / "dirs.lst");
    EXPECT_EQ(records.back(),
              (config::VirtualDirectory{
                  .name = "/holiday-photos/", .folder = shared_.string(), .uploads = true}));
    std::string reply;
    EXPECT_TRUE(WaitUntil([&] {
        reply = Fetch(window, "/holiday-photos/hello.txt");
        return testing::StatusOf(reply) == "HTTP/1.1 200 OK";
    })) << reply;
    EXPECT_EQ(testing::BodyOf(reply), "hello from the shared folder");

    // Shared again, the same folder gets a name of its own.
    window.CurrentShareDialog()->close();
    ASSERT_TRUE(WaitUntil([&] { return window.CurrentShareDialog() == nullptr; }));
    window.OpenShareDialog(QString::fromStdString(shared_.string()));
    EXPECT_EQ(Find<QLineEdit>("ShareName")->text(), "holiday-photos-2");
}

TEST_F(ShareTest, AFolderForChosenUsersLetsInOnlyThem) {
    folder_.WriteUsers({{"ann", "a1"}, {"bob", "b2"}});
    ControlWindow& window = SharingWindow();
    window.OpenShareDialog(QString::fromStdString(shared_.string()));  // as --share does
    EXPECT_EQ(Find<QLineEdit>("ShareFolder")->text(), QString::fromStdString(shared_.string()));
    Find<QLineEdit>("ShareName")->setText("family");

    // "Only these users" with nobody ticked is no choice.
    Find<QRadioButton>("ShareChosenUsers")->setChecked(true);
    PressShare();
    ASSERT_EQ(messages_.warnings.size(), 1u);
    EXPECT_TRUE(messages_.warnings[0].contains("Tick the users"));

    newUsers_ = {{"carol", "c3"}};
    Find<QPushButton>("ShareAddUser")->click();
    EXPECT_TRUE(Find<QCheckBox>("ShareUser:carol")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>("ShareUser:bob")->isChecked());
    Find<QCheckBox>("ShareUser:ann")->setChecked(true);
    PressShare();
    ASSERT_EQ(messages_.warnings.size(), 1u) << messages_.warnings.back().toStdString();
    EXPECT_TRUE(folder_.Users({"c3"}).ends_with(" carol:#c3"));
    EXPECT_EQ(config::ReadDirectories(folder_.Path() / "dirs.lst").back().users,
              (std::vector<std::string>{"ann", "carol"}));
    EXPECT_TRUE(Text("ShareNote").contains("ann, carol"));

    ASSERT_TRUE(window.Control().IsListening());
    std::string reply;
    EXPECT_TRUE(WaitUntil([&] {
        reply = Fetch(window, "/family/hello.txt", "carol:c3");
        return testing::StatusOf(reply) == "HTTP/1.1 200 OK";
    })) << reply;
    EXPECT_EQ(testing::StatusOf(Fetch(window, "/family/hello.txt", "ann:a1")), "HTTP/1.1 200 OK");
    for (const std::string user : {"", "bob:b2", "ann:wrong"}) {
        EXPECT_EQ(testing::StatusOf(Fetch(window, "/family/hello.txt", user)),
                  "HTTP/1.1 401 Unauthorized")
            << user;
    }
    // A name already shared, or not URL-safe, is refused with its reason.
    window.CurrentShareDialog()->close();
    ASSERT_TRUE(WaitUntil([&] { return window.CurrentShareDialog() == nullptr; }));
    window.OpenShareDialog(QString::fromStdString(shared_.string()));
    Find<QLineEdit>("ShareName")->setText("family");
    PressShare();
    EXPECT_TRUE(messages_.warnings.back().contains("Another folder is shared under this name"));
    Find<QLineEdit>("ShareName")->setText("Family Pictures");
    PressShare();
    EXPECT_TRUE(messages_.warnings.back().contains("lower-case letters"));
    EXPECT_EQ(config::ReadDirectories(folder_.Path() / "dirs.lst").size(), 4u);
}

}  // namespace
}  // namespace quorvane::ui
