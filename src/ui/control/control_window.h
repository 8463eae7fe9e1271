#pragma once

#include <QMainWindow>
#include <QPointer>
#include <filesystem>
#include <functional>

#include "config/settings_file.h"
#include "server/server_control.h"
#include "ui/control/desktop.h"
#include "ui/control/engine_bridge.h"
#include "ui/control/information_view.h"
#include "ui/control/preferences.h"
#include "ui/control/share_dialog.h"
#include "ui/control/shared_links_tab.h"

class QAction;
class QFormLayout;
class QLayout;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;

namespace quorvane::ui {

class ClickableLabel;

// The control window: start and stop, the running log, the information
// labels, the tray icon and the two menus. A thin view: start-up, the toggle
// and the log policy are ServerControl's, the preferences StartupPreferences',
// what the labels say the information and tray views'.
class ControlWindow : public QMainWindow {
    Q_OBJECT

  public:
    struct Setup {
        config::ProgramFolder folder;
        std::filesystem::path programPath;      // what the autostart entry runs
        std::filesystem::path autostartFolder;  // where that entry lives
        MessageBoxes& messages;
        DesktopServices& desktop;
        server::ServerControl::Options serverOptions;
        // The folder --folder named, which the autostart entry names too.
        std::optional<std::filesystem::path> namedFolder;
    };

    explicit ControlWindow(Setup setup, QWidget* parent = nullptr);
    ~ControlWindow() override;

    // The load sequence: settings check, list repair, log policy, labels, tray
    // icon and, when so set, the server's start. Shows the window unless it
    // starts minimised to the tray.
    void Startup();

    // Opens the options dialog, which tells whether it saved the settings;
    // until one is set the menu item is disabled.
    void SetOptionsDialog(std::function<bool(QWidget* parent)> open);

    // "Share a folder..." asks through these: the folder picker and the
    // new user's name and password. Until they are set the items are disabled.
    void SetSharing(FilePickers& pickers, AskNewUser askUser);
    // Opens the Share dialog (or brings it forward), with the folder filled
    // in when one is given.
    void OpenShareDialog(const QString& folder = QString());
    ShareDialog* CurrentShareDialog() const { return shareDialog_; }
    // "Share...": a link to one file or folder, made on the Shared Links tab.
    void OpenShareLinkDialog();
    SharedLinksTab& SharedLinks() { return *sharedLinks_; }

    server::ServerControl& Control() { return control_; }
    server::EngineObserver& Observer() { return bridge_; }
    QSystemTrayIcon* Tray() const { return tray_; }

    // The root folder label follows the options dialog's folder picker.
    void ShowRootDirectory(const QString& folder);
    // After the options were saved: the labels show what is now in effect,
    // and a running server moves to a changed port.
    void SettingsSaved();

    void ToggleServer();
    void RefreshLog();
    void RestoreWindow();
    // The tray icon's click: shows a hidden window, hides a shown one.
    void ToggleWindow();
    // The exit menu items: the program ends even while it serves.
    void ExitProgram();
    // A tray host that starts after the program still gets the icon, and
    // the LAN address follows the network; checked every few seconds.
    void WatchDesktop();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildWidgets();
    QWidget* BuildInformationTab();
    QFormLayout* BuildInformationForm();
    QLayout* BuildLanRow();
    QLayout* BuildFileAccessRow();
    QLayout* BuildLanCode();
    void ConnectLinks();
    QWidget* BuildAccessLogTab();
    QWidget* BuildAboutTab();
    void BuildMenus();
    void ConnectEngine();
    void AddTrayIcon();
    void SetAutoStart(bool enabled);
    void SetMinimiseOnStart(bool enabled);
    // The toggle button, its tray menu item and the access log tab's start
    // and stop buttons all show whether ServerControl's listener runs, and
    // so never disagree.
    void ShowListener();
    void ShowStopped();
    void ShowStartFailure(const QString& reason);
    void ShowServing();
    void ShowSettings();
    void ShowLanAccess();
    // The file manager's address, while a folder takes visitors' files.
    void ShowFileAccess(const config::Settings& settings);
    void ShowHttps();         // the secure URL and the certificate's fingerprint, while HTTPS runs
    void ShowAnnouncement();  // the site's name on the local network, while announced
    void OpenInBrowser(const QString& url);
    // After a folder was shared: serving it, and where.
    Publication PublishShared(const std::string& name);
    // The site's URL as the Information tab picks it: the network one when
    // other devices can reach the site, else the local one.
    std::string ReachableSiteUrl();
    // Starts the server after something was shared, when it is stopped.
    bool ServeShared();
    void AppendLog(const QString& text);

    Setup setup_;
    EngineBridge bridge_;
    server::ServerControl control_;
    StartupPreferences preferences_;
    std::function<bool(QWidget*)> openOptions_;
    FilePickers* pickers_ = nullptr;
    AskNewUser askUser_;
    QPointer<ShareDialog> shareDialog_;
    bool settingsFound_ = false;
    SiteLocation location_;
    uint16_t shownPort_ = 80;
    QString shownLan_;  // the network URL and note on screen

    QTabWidget* tabs_ = nullptr;
    QWidget* informationPage_ = nullptr;
    ClickableLabel* siteUrl_ = nullptr;
    ClickableLabel* serverLoc_ = nullptr;
    QLabel* serverIp_ = nullptr;
    QLabel* announcedUrls_ = nullptr;
    QLabel* listening_ = nullptr;
    QFormLayout* information_ = nullptr;
    ClickableLabel* secureUrl_ = nullptr;
    QLabel* fingerprint_ = nullptr;
    QLabel* timeStarted_ = nullptr;
    QLabel* loggingStatus_ = nullptr;
    QLabel* startProblem_ = nullptr;
    ClickableLabel* lanUrl_ = nullptr;
    QPushButton* copyLanUrl_ = nullptr;
    QLabel* lanCode_ = nullptr;
    QLabel* lanCaption_ = nullptr;
    QLabel* lanNote_ = nullptr;
    QLabel* fileAddress_ = nullptr;
    QPushButton* copyFileAddress_ = nullptr;
    QLayout* fileAccessRow_ = nullptr;
    QLabel* releaseVersion_ = nullptr;
    QPushButton* toggle_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* options_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* kill_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QProgressBar* load_ = nullptr;

    QMenu* mainMenu_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QAction* configure_ = nullptr;
    QAction* share1_ = nullptr;
    QAction* exportNginx_ = nullptr;
    QAction* share_ = nullptr;
    QAction* shareLink1_ = nullptr;
    QAction* shareLink_ = nullptr;
    SharedLinksTab* sharedLinks_ = nullptr;
    QAction* autoStart1_ = nullptr;
    QAction* minimise1_ = nullptr;
    QAction* startItem_ = nullptr;
    QAction* autoStart_ = nullptr;
    QAction* minimise_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QTimer* desktopWatch_ = nullptr;
    bool exitChosen_ = false;
    bool hideNoticeShown_ = false;
    bool unloaded_ = false;
};

}  // namespace quorvane::ui
