#pragma once

#include <QMainWindow>
#include <filesystem>
#include <functional>

#include "server/server_control.h"
#include "ui/control/desktop.h"
#include "ui/control/engine_bridge.h"
#include "ui/control/preferences.h"

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSystemTrayIcon;
class QTabWidget;

namespace quorvane::ui {

// A label that reports clicks, for the site URL and the location.
class ClickableLabel;

// The control window: start and stop, the running log, the information
// labels, the tray icon and the two menus. A thin view: start-up, the toggle
// and the log policy are ServerControl's, the preferences StartupPreferences'.
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
    };

    explicit ControlWindow(Setup setup, QWidget* parent = nullptr);
    ~ControlWindow() override;

    // The load sequence: settings check, list repair, log policy, labels, tray
    // icon and, when so set, the server's start. Shows the window unless it
    // starts minimised to the tray.
    void Startup();

    // Opens the options dialog; until one is set the menu item is disabled.
    void SetOptionsDialog(std::function<void(QWidget* parent)> open);

    server::ServerControl& Control() { return control_; }
    server::EngineObserver& Observer() { return bridge_; }
    QSystemTrayIcon* Tray() const { return tray_; }

    // The root folder label follows the options dialog's choice.
    void ShowRootDirectory(const QString& folder);

    void ToggleServer();
    void RefreshLog();
    void RestoreWindow();

  protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildWidgets();
    void BuildMenus();
    void ConnectEngine();
    void AddTrayIcon();
    void SetAutoStart(bool enabled);
    void SetMinimiseOnStart(bool enabled);
    void ShowStopped();
    void AppendLog(const QString& text);

    Setup setup_;
    EngineBridge bridge_;
    server::ServerControl control_;
    StartupPreferences preferences_;
    std::function<void(QWidget*)> openOptions_;

    QTabWidget* tabs_ = nullptr;
    ClickableLabel* siteUrl_ = nullptr;
    ClickableLabel* serverLoc_ = nullptr;
    QLabel* serverIp_ = nullptr;
    QLabel* timeStarted_ = nullptr;
    QLabel* loggingStatus_ = nullptr;
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
    QAction* autoStart1_ = nullptr;
    QAction* minimise1_ = nullptr;
    QAction* startItem_ = nullptr;
    QAction* autoStart_ = nullptr;
    QAction* minimise_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    bool unloaded_ = false;
};

// The window's own icon, drawn for it.
QIcon AppIcon();

}  // namespace quorvane::ui
