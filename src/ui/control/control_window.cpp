#include "ui/control/control_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QVBoxLayout>

#include "config/settings_file.h"

// The icon lives in a static library, whose resources must be registered
// by hand.
static void InitResources() {
    Q_INIT_RESOURCE(quorvane);
}

namespace quorvane::ui {

namespace {

const QString kCaption = QStringLiteral("Quorvane2000");
const QString kStartCaption = QStringLiteral("&Start Quorvane");
const QString kStopCaption = QStringLiteral("&Stop Quorvane");
const QString kNotStarted = QStringLiteral("Quorvane Not Started");

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

class ClickableLabel : public QLabel {
    Q_OBJECT

  public:
    using QLabel::QLabel;

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        emit clicked();
    }
};

QIcon AppIcon() {
    InitResources();
    QSvgRenderer renderer(QStringLiteral(":/quorvane/quorvane.svg"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        icon.addPixmap(pixmap);
    }
    return icon;
}

ControlWindow::ControlWindow(Setup setup, QWidget* parent)
    : QMainWindow(parent),
      setup_(std::move(setup)),
      control_(setup_.folder, bridge_, setup_.serverOptions),
      preferences_(control_.Folder(), AutostartEntry(setup_.autostartFolder, setup_.programPath)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kCaption);
    setWindowIcon(AppIcon());
    BuildWidgets();
    BuildMenus();
    ConnectEngine();
}

ControlWindow::~ControlWindow() {
    control_.Unload();
}

void ControlWindow::BuildWidgets() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    tabs_ = new QTabWidget(central);
    tabs_->setObjectName(QStringLiteral("SSTab1"));
    layout->addWidget(tabs_);

    // Information
    auto* information = new QWidget;
    auto* form = new QFormLayout(information);
    siteUrl_ = new ClickableLabel;
    siteUrl_->setObjectName(QStringLiteral("SiteURL"));
    siteUrl_->setToolTip(QStringLiteral("Go to the locally serverd site."));
    serverLoc_ = new ClickableLabel;
    serverLoc_->setObjectName(QStringLiteral("ServerLoc"));
    serverLoc_->setToolTip(QStringLiteral("Open Windows Explorer at this location."));
    for (QLabel* link : {static_cast<QLabel*>(siteUrl_), static_cast<QLabel*>(serverLoc_)}) {
        link->setCursor(Qt::PointingHandCursor);
        link->setStyleSheet(QStringLiteral("color: palette(link); text-decoration: underline;"));
    }
    serverIp_ = new QLabel;
    serverIp_->setObjectName(QStringLiteral("ServerIP"));
    timeStarted_ = new QLabel(kNotStarted);
    timeStarted_->setObjectName(QStringLiteral("TimeStarted"));
    loggingStatus_ = new QLabel;
    loggingStatus_->setObjectName(QStringLiteral("LoggingStatus"));
    form->addRow(QStringLiteral("Local URL:"), siteUrl_);
    form->addRow(QStringLiteral("Location:"), serverLoc_);
    form->addRow(QStringLiteral("Server IP:"), serverIp_);
    form->addRow(QStringLiteral("Started:"), timeStarted_);
    form->addRow(QStringLiteral("Logging:"), loggingStatus_);
    tabs_->addTab(information, QStringLiteral("Information "));

    // Access Log
    auto* accessLog = new QWidget;
    auto* logLayout = new QVBoxLayout(accessLog);
    auto* logButtons = new QHBoxLayout;
    start_ = new QPushButton(kStartCaption);
    start_->setObjectName(QStringLiteral("StartBtn"));
    kill_ = new QPushButton(QStringLiteral("S&top Quorvane"));
    kill_->setObjectName(QStringLiteral("KillBtn"));
    kill_->setEnabled(false);
    logButtons->addWidget(start_);
    logButtons->addWidget(kill_);
    logButtons->addStretch();
    log_ = new QPlainTextEdit;
    log_->setObjectName(QStringLiteral("ServerWindow"));
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(5000);  // weeks of running must not grow without bound
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    load_ = new QProgressBar;
    load_->setObjectName(QStringLiteral("LoadIndicator"));
    load_->setRange(0, 100);
    load_->setValue(0);
    logLayout->addLayout(logButtons);
    logLayout->addWidget(log_);
    logLayout->addWidget(load_);
    tabs_->addTab(accessLog, QStringLiteral("Access Log"));

    // About
    auto* about = new QWidget;
    auto* aboutLayout = new QVBoxLayout(about);
    auto* picture = new QLabel;
    picture->setPixmap(AppIcon().pixmap(96, 96));
    picture->setAlignment(Qt::AlignCenter);
    auto* blurb = new QLabel(QStringLiteral(
        "<b>Quorvane2000</b><br>A small web server for your desktop: your own site, "
        "folders, scripts and secure pages, served from the files beside this program."));
    blurb->setWordWrap(true);
    blurb->setAlignment(Qt::AlignCenter);
    releaseVersion_ = new QLabel;
    releaseVersion_->setObjectName(QStringLiteral("ReleaseVersion"));
    releaseVersion_->setAlignment(Qt::AlignCenter);
    aboutLayout->addStretch();
    aboutLayout->addWidget(picture);
    aboutLayout->addWidget(blurb);
    aboutLayout->addWidget(releaseVersion_);
    aboutLayout->addStretch();
    tabs_->addTab(about, QStringLiteral("About Quorvane"));

    auto* buttons = new QHBoxLayout;
    toggle_ = new QPushButton(kStartCaption);
    toggle_->setObjectName(QStringLiteral("Command2"));
    refresh_ = new QPushButton(QStringLiteral("&Refresh Log"));
    refresh_->setObjectName(QStringLiteral("Command3"));
    options_ = new QPushButton(QStringLiteral("&Options..."));
    options_->setObjectName(QStringLiteral("Command1"));
    buttons->addWidget(toggle_);
    buttons->addWidget(refresh_);
    buttons->addStretch();
    buttons->addWidget(options_);
    layout->addLayout(buttons);
    setCentralWidget(central);
    resize(560, 400);

    connect(toggle_, &QPushButton::clicked, this, &ControlWindow::ToggleServer);
    connect(refresh_, &QPushButton::clicked, this, &ControlWindow::RefreshLog);
    connect(start_, &QPushButton::clicked, this, [this] { control_.StartListener(); });
    connect(kill_, &QPushButton::clicked, this, [this] { control_.StopListener(); });
    connect(siteUrl_, &ClickableLabel::clicked, this, [this] {
        if (!setup_.desktop.OpenUrl(siteUrl_->text().trimmed())) {
            setup_.messages.Warning(QStringLiteral("Could not find associated Browser"),
                                    QStringLiteral("Browser Not Found"));
        }
    });
    connect(serverLoc_, &ClickableLabel::clicked, this,
            [this] { setup_.desktop.OpenFolder(serverLoc_->text().trimmed()); });
}

void ControlWindow::BuildMenus() {
    mainMenu_ = new QMenu(QStringLiteral("PopUpMenu"), this);
    mainMenu_->setObjectName(QStringLiteral("ServerMainMenu"));
    configure_ = mainMenu_->addAction(QStringLiteral("Configure Quorvane2000..."));
    configure_->setObjectName(QStringLiteral("mnuConfigure"));
    configure_->setEnabled(false);
    autoStart1_ = mainMenu_->addAction(QStringLiteral("&AutoStart Quorvane and AutoStart Server"));
    autoStart1_->setObjectName(QStringLiteral("mnuAutoStart1"));
    minimise1_ = mainMenu_->addAction(QStringLiteral("&Minimise on Start"));
    minimise1_->setObjectName(QStringLiteral("mnuMinimise1"));
    mainMenu_->addSeparator()->setObjectName(QStringLiteral("sep2"));
    QAction* exit1 = mainMenu_->addAction(QStringLiteral("Exit Quorvane2000"));
    exit1->setObjectName(QStringLiteral("mnuSysTrayExit"));

    trayMenu_ = new QMenu(QStringLiteral("&SystemTrayMenu"), this);
    trayMenu_->setObjectName(QStringLiteral("SystemTrayMenu"));
    startItem_ = trayMenu_->addAction(QStringLiteral("&Start"));
    startItem_->setObjectName(QStringLiteral("mnuStart"));
    QAction* restore = trayMenu_->addAction(QStringLiteral("&Restore"));
    restore->setObjectName(QStringLiteral("mnuRestore"));
    autoStart_ =
        trayMenu_->addAction(QStringLiteral("&AutoStart Quorvane2000 and AutoStart Server"));
    autoStart_->setObjectName(QStringLiteral("mnuAutoStart"));
    minimise_ = trayMenu_->addAction(QStringLiteral("&Minimise On Start"));
    minimise_->setObjectName(QStringLiteral("mnuMinimise"));
    trayMenu_->addSeparator()->setObjectName(QStringLiteral("seperator"));
    QAction* exit = trayMenu_->addAction(QStringLiteral("E&xit Quorvane2000"));
    exit->setObjectName(QStringLiteral("mnuExit"));

    for (QAction* item : {autoStart1_, minimise1_, autoStart_, minimise_}) {
        item->setCheckable(true);
    }
    // Each pair shows one preference: a click on either flips both.
    for (QAction* item : {autoStart1_, autoStart_}) {
        connect(item, &QAction::triggered, this, [this](bool checked) { SetAutoStart(checked); });
    }
    for (QAction* item : {minimise1_, minimise_}) {
        connect(item, &QAction::triggered, this,
                [this](bool checked) { SetMinimiseOnStart(checked); });
    }
    connect(configure_, &QAction::triggered, this, [this] {
        if (openOptions_) {
            openOptions_(this);
        }
    });
    connect(startItem_, &QAction::triggered, this, &ControlWindow::ToggleServer);
    connect(restore, &QAction::triggered, this, &ControlWindow::RestoreWindow);
    connect(exit1, &QAction::triggered, this, &QWidget::close);
    connect(exit, &QAction::triggered, this, &QWidget::close);
    connect(options_, &QPushButton::clicked, this, [this] { mainMenu_->popup(QCursor::pos()); });
}

void ControlWindow::ConnectEngine() {
    connect(
        &bridge_, &EngineBridge::LogReplaced, this,
        [this](const QString& text) {
            log_->clear();
            AppendLog(text);
        },
        Qt::QueuedConnection);
    connect(&bridge_, &EngineBridge::LogAppended, this, &ControlWindow::AppendLog,
            Qt::QueuedConnection);
    connect(
        &bridge_, &EngineBridge::LoadCount, this,
        [this](int count) { load_->setValue(std::clamp(count, 0, 100)); }, Qt::QueuedConnection);
    connect(
        &bridge_, &EngineBridge::Started, this,
        [this](const QString& startedAt) {
            start_->setEnabled(false);
            kill_->setEnabled(true);
            timeStarted_->setText(startedAt);
        },
        Qt::QueuedConnection);
    connect(&bridge_, &EngineBridge::Stopped, this, &ControlWindow::ShowStopped,
            Qt::QueuedConnection);
    connect(
        &bridge_, &EngineBridge::StartFailed, this,
        [this] {
            // The failure is in the log view; the controls say "stopped".
            ShowStopped();
            toggle_->setText(kStartCaption);
            startItem_->setText(QStringLiteral("&Start"));
        },
        Qt::QueuedConnection);
}

void ControlWindow::ShowStopped() {
    start_->setEnabled(true);
    kill_->setEnabled(false);
    timeStarted_->setText(kNotStarted);
}

void ControlWindow::AppendLog(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor cursor(log_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(lines);
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void ControlWindow::Startup() {
    setWindowTitle(kCaption + QStringLiteral(" - ") + FromStd(std::string(server::kVersion)));
    const server::StartupReport report = control_.Startup();
    minimise_->setChecked(report.minimise);
    minimise1_->setChecked(report.minimise);
    if (!report.settingsFound) {
        setup_.messages.Warning(FromStd(std::string(server::kSettingsMissingMessage)),
                                QStringLiteral("Load Error"));
        show();
        return;
    }

    const bool userControlled = report.logPolicy == server::LogPolicy::kUserControlled;
    loggingStatus_->setText(FromStd(std::string(server::LoggingStatusText(report.logPolicy))));
    refresh_->setEnabled(userControlled);
    load_->setValue(0);
    log_->clear();
    timeStarted_->setText(kNotStarted);
    releaseVersion_->setText(QStringLiteral("Release Version ") +
                             FromStd(std::string(server::kVersion)));

    // The URL names the port when it is not the default, so that it works.
    const config::Settings settings = config::Settings::Load(control_.Folder().SettingsPath());
    const std::optional<uint16_t> port = server::ConfiguredPort(settings);
    QString url = QStringLiteral("http://") + FromStd(control_.Host().hostName);
    if (port && *port != 80) {
        url += QStringLiteral(":") + QString::number(*port);
    }
    siteUrl_->setText(url);
    serverIp_->setText(FromStd(control_.Host().ipAddress));
    serverLoc_->setText(FromStd(control_.Folder().Resolve(report.rootDirectory).string()));

    AddTrayIcon();
    if (report.minimise && setup_.desktop.TrayAvailable()) {
        hide();  // only the tray icon shows
    } else if (report.minimise) {
        showMinimized();
    } else {
        show();
    }

    autoStart_->setChecked(report.autoStart);
    autoStart1_->setChecked(report.autoStart);
    if (report.autoStart) {
        ToggleServer();
    }
}

void ControlWindow::SetOptionsDialog(std::function<void(QWidget*)> open) {
    openOptions_ = std::move(open);
    configure_->setEnabled(static_cast<bool>(openOptions_));
}

void ControlWindow::AddTrayIcon() {
    if (!setup_.desktop.TrayAvailable()) {
        return;
    }
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setToolTip(windowTitle());
    tray_->setContextMenu(trayMenu_);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick) {
                    RestoreWindow();
                }
            });
    tray_->show();
}

void ControlWindow::ToggleServer() {
    if (toggle_->text() != kStartCaption) {
        toggle_->setText(kStartCaption);
        startItem_->setText(QStringLiteral("&Start"));
        start_->setEnabled(true);
        kill_->setEnabled(false);
    } else {
        toggle_->setText(kStopCaption);
        startItem_->setText(QStringLiteral("&Stop"));
        start_->setEnabled(false);
        kill_->setEnabled(true);
    }
    control_.ToggleServer();
}

void ControlWindow::RefreshLog() {
    control_.RefreshLog();
}

void ControlWindow::ShowRootDirectory(const QString& folder) {
    serverLoc_->setText(FromStd(control_.Folder().Resolve(folder.toStdString()).string()));
}

void ControlWindow::RestoreWindow() {
    showNormal();
    raise();
    activateWindow();
}

void ControlWindow::SetAutoStart(bool enabled) {
    autoStart_->setChecked(enabled);
    autoStart1_->setChecked(enabled);
    preferences_.SetAutoStart(enabled);
}

void ControlWindow::SetMinimiseOnStart(bool enabled) {
    minimise_->setChecked(enabled);
    minimise1_->setChecked(enabled);
    preferences_.SetMinimiseOnStart(enabled);
}

void ControlWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Minimised, the window lives in the tray; without a tray it stays in the
    // task bar so it can still be reached.
    // Hidden once the minimising has finished, or showMinimized() would show
    // the window again right after.
    if (event->type() == QEvent::WindowStateChange && isMinimized() &&
        setup_.desktop.TrayAvailable()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isMinimized()) {
                    hide();
                }
            },
            Qt::QueuedConnection);
    }
}

void ControlWindow::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        control_.Unload();
        if (tray_ != nullptr) {
            tray_->hide();
        }
    }
    event->accept();
    // The program ends with its window, even when that window sat hidden in
    // the tray.
    QCoreApplication::quit();
}

}  // namespace quorvane::ui

#include "control_window.moc"
