#include "ui/control/control_window.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "config/list_records.h"
#include "server/https_setup.h"
#include "ui/control/clickable_label.h"
#include "ui/control/host_addresses.h"
#include "ui/control/qr_code.h"
#include "ui/control/site_export.h"
#include "ui/control/tray_state.h"
#include "ui/control/window_pictures.h"
#include "version.h"

namespace quorvane::ui {

namespace {

const QString kCaption = QStringLiteral("Quorvane2000");
const QString kStartCaption = QStringLiteral("&Start Quorvane");
const QString kStopCaption = QStringLiteral("&Stop Quorvane");
const QString kNotStarted = QStringLiteral("Quorvane Not Started");

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// The fingerprint in lines of eight bytes: a label cannot wrap it at its
// colons, and on one line it would be wider than the window.
QString FingerprintLines(const std::string& fingerprint) {
    constexpr size_t kLine = 8 * 3;
    QString text = QStringLiteral("SHA-256");
    for (size_t at = 0; at < fingerprint.size(); at += kLine) {
        text += (at == 0 ? QLatin1Char(' ') : QLatin1Char('\n')) +
                FromStd(fingerprint.substr(at, kLine));
    }
    return text;
}

template <typename Widget, typename... Args>
Widget* Named(const char* name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

ControlWindow::ControlWindow(Setup setup, QWidget* parent)
    : QMainWindow(parent),
      setup_(std::move(setup)),
      control_(setup_.folder, bridge_, setup_.serverOptions),
      preferences_(control_.Folder(),
                   AutostartEntry(setup_.autostartFolder, setup_.programPath, setup_.namedFolder)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kCaption);
    setWindowIcon(AppIcon());
    BuildWidgets();
    BuildMenus();
    ConnectEngine();
    ShowListener();
}

ControlWindow::~ControlWindow() {
    control_.Unload();
}

QWidget* ControlWindow::BuildInformationTab() {
    auto* information = new QWidget;
    informationPage_ = information;
    information->installEventFilter(this);
    auto* columns = new QHBoxLayout(information);
    startProblem_ = Named<QLabel>("StartProblem");
    startProblem_->setWordWrap(true);
    startProblem_->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold;"));
    startProblem_->hide();
    auto* left = new QVBoxLayout;
    left->addLayout(BuildInformationForm());
    left->addWidget(startProblem_);
    left->addStretch();
    columns->addLayout(left, 1);
    columns->addLayout(BuildLanCode());
    ConnectLinks();
    return information;
}

QFormLayout* ControlWindow::BuildInformationForm() {
    information_ = new QFormLayout;
    siteUrl_ = new ClickableLabel("SiteURL");
    siteUrl_->setToolTip(QStringLiteral("Go to the locally serverd site."));
    serverLoc_ = new ClickableLabel("ServerLoc");
    serverLoc_->setToolTip(QStringLiteral("Open Windows Explorer at this location."));
    serverLoc_->setWordWrap(true);
    serverIp_ = Named<QLabel>("ServerIP");
    announcedUrls_ = Named<QLabel>("AnnouncedURL");
    announcedUrls_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    announcedUrls_->setToolTip(
        QStringLiteral("The site by name: devices on the local network that know mDNS open it."));
    listening_ = Named<QLabel>("ListenInfo");
    listening_->setWordWrap(true);
    timeStarted_ = Named<QLabel>("TimeStarted", kNotStarted);
    loggingStatus_ = Named<QLabel>("LoggingStatus");
    secureUrl_ = new ClickableLabel("SecureURL");
    secureUrl_->setToolTip(QStringLiteral("Go to the site over HTTPS."));
    // The fingerprint a user compares with the browser's, so it can be copied.
    fingerprint_ = Named<QLabel>("CertificateFingerprint");
    fingerprint_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fingerprint_->setToolTip(
        QStringLiteral("The SHA-256 fingerprint of the HTTPS certificate: the browser shows the "
                       "same one for this site."));
    information_->addRow(QStringLiteral("Local URL:"), siteUrl_);
    information_->addRow(QStringLiteral("Secure URL:"), secureUrl_);
    information_->addRow(QStringLiteral("Certificate:"), fingerprint_);
    information_->addRow(QStringLiteral("Location:"), serverLoc_);
    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(serverIp_);
    addressRow->addWidget(announcedUrls_);
    addressRow->addStretch();
    information_->addRow(QStringLiteral("Server IP:"), addressRow);
    information_->addRow(QStringLiteral("Listening:"), listening_);
    information_->addRow(QStringLiteral("Started:"), timeStarted_);
    information_->addRow(QStringLiteral("Logging:"), loggingStatus_);
    information_->addRow(QStringLiteral("Network URL:"), BuildLanRow());
    information_->addRow(QStringLiteral("File manager:"), BuildFileAccessRow());
    return information_;
}

QLayout* ControlWindow::BuildLanRow() {
    lanUrl_ = new ClickableLabel("LanURL");
    lanUrl_->setToolTip(QStringLiteral("Open the site as other devices on the network see it."));
    copyLanUrl_ = Named<QPushButton>("CopyLanURL", QStringLiteral("Cop&y"));
    copyLanUrl_->setToolTip(QStringLiteral("Copy the network address of the site."));
    auto* row = new QHBoxLayout;
    row->addWidget(lanUrl_);
    row->addWidget(copyLanUrl_);
    row->addStretch();
    return row;
}

QLayout* ControlWindow::BuildFileAccessRow() {
    fileAddress_ = Named<QLabel>("FileManagerURL");
    fileAddress_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fileAddress_->setToolTip(
        QStringLiteral("Open this address in a file manager to add and change the site's "
                       "files."));
    copyFileAddress_ = Named<QPushButton>("CopyFileManagerURL", QStringLiteral("&Copy"));
    copyFileAddress_->setToolTip(QStringLiteral("Copy the file manager's address of the site."));
    auto* row = new QHBoxLayout;
    row->addWidget(fileAddress_);
    row->addWidget(copyFileAddress_);
    row->addStretch();
    fileAccessRow_ = row;
    return row;
}

// The QR code of the network URL, so a phone opens the site through its
// camera; a line instead when no other device can reach the site.
QLayout* ControlWindow::BuildLanCode() {
    lanCode_ = Named<QLabel>("LanQRCode");
    lanCode_->setAlignment(Qt::AlignCenter);
    lanCode_->setToolTip(QStringLiteral("Point a phone's camera here to open the site."));
    lanNote_ = Named<QLabel>("LanNote");
    lanNote_->setWordWrap(true);
    lanNote_->setAlignment(Qt::AlignCenter);
    lanNote_->setMaximumWidth(190);
    lanCaption_ =
        Named<QLabel>("LanQRCaption", QStringLiteral("Scan with a phone on the same network"));
    lanCaption_->setAlignment(Qt::AlignCenter);
    lanCaption_->setWordWrap(true);
    lanCaption_->setMaximumWidth(190);
    auto* column = new QVBoxLayout;
    column->addWidget(lanCode_);
    column->addWidget(lanCaption_);
    column->addWidget(lanNote_);
    column->addStretch();
    return column;
}

void ControlWindow::ConnectLinks() {
    for (ClickableLabel* link : {siteUrl_, lanUrl_, secureUrl_}) {
        connect(link, &ClickableLabel::clicked, this,
                [this, link] { OpenInBrowser(link->text().trimmed()); });
    }
    connect(serverLoc_, &ClickableLabel::clicked, this, [this] {
        if (location_.isUrl) {
            OpenInBrowser(serverLoc_->text().trimmed());
        } else {
            setup_.desktop.OpenFolder(serverLoc_->text().trimmed());
        }
    });
    connect(copyLanUrl_, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(lanUrl_->text()); });
    connect(copyFileAddress_, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(fileAddress_->text()); });
}

void ControlWindow::BuildWidgets() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    tabs_ = Named<QTabWidget>("SSTab1", central);
    layout->addWidget(tabs_);
    tabs_->addTab(BuildInformationTab(), QStringLiteral("Information "));
    tabs_->addTab(BuildAccessLogTab(), QStringLiteral("Access Log"));
    sharedLinks_ = new SharedLinksTab({control_.Folder(), setup_.messages,
                                       [this] { return ReachableSiteUrl(); },
                                       [this] { return ServeShared(); }});
    sharedLinks_->setObjectName(QStringLiteral("SharedLinks"));
    tabs_->addTab(sharedLinks_, QStringLiteral("Shared Links"));
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        if (tabs_->currentWidget() == sharedLinks_) {
            sharedLinks_->Refresh();
        }
    });
    tabs_->addTab(BuildAboutTab(), QStringLiteral("About Quorvane"));
    toggle_ = Named<QPushButton>("Command2");
    refresh_ = Named<QPushButton>("Command3", QStringLiteral("&Refresh Log"));
    options_ = Named<QPushButton>("Command1", QStringLiteral("&Options..."));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(toggle_);
    buttons->addWidget(refresh_);
    buttons->addStretch();
    buttons->addWidget(options_);
    layout->addLayout(buttons);
    setCentralWidget(central);
    resize(600, 420);
    connect(toggle_, &QPushButton::clicked, this, &ControlWindow::ToggleServer);
    connect(refresh_, &QPushButton::clicked, this, &ControlWindow::RefreshLog);
}

QWidget* ControlWindow::BuildAccessLogTab() {
    auto* accessLog = new QWidget;
    auto* layout = new QVBoxLayout(accessLog);
    start_ = Named<QPushButton>("StartBtn", kStartCaption);
    kill_ = Named<QPushButton>("KillBtn", QStringLiteral("S&top Quorvane"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(kill_);
    buttons->addStretch();
    log_ = Named<QPlainTextEdit>("ServerWindow");
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(5000);  // weeks of running must not grow without bound
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    load_ = Named<QProgressBar>("LoadIndicator");
    load_->setRange(0, 100);
    load_->setValue(0);
    layout->addLayout(buttons);
    layout->addWidget(log_);
    layout->addWidget(load_);
    connect(start_, &QPushButton::clicked, this, [this] {
        control_.StartListener();
        ShowListener();
    });
    connect(kill_, &QPushButton::clicked, this, [this] {
        control_.StopListener();
        ShowListener();
    });
    return accessLog;
}

QWidget* ControlWindow::BuildAboutTab() {
    auto* about = new QWidget;
    auto* layout = new QVBoxLayout(about);
    auto* picture = new QLabel;
    picture->setPixmap(AppIcon().pixmap(96, 96));
    picture->setAlignment(Qt::AlignCenter);
    auto* blurb = new QLabel(QStringLiteral(
        "<b>Quorvane2000</b><br>A small web server for your desktop: your own site, "
        "folders, scripts and secure pages, served from the files beside this program."));
    blurb->setWordWrap(true);
    blurb->setAlignment(Qt::AlignCenter);
    releaseVersion_ = Named<QLabel>("ReleaseVersion");
    releaseVersion_->setAlignment(Qt::AlignCenter);
    layout->addStretch();
    layout->addWidget(picture);
    layout->addWidget(blurb);
    layout->addWidget(releaseVersion_);
    layout->addStretch();
    return about;
}

void ControlWindow::BuildMenus() {
    mainMenu_ = new QMenu(QStringLiteral("PopUpMenu"), this);
    mainMenu_->setObjectName(QStringLiteral("ServerMainMenu"));
    configure_ = mainMenu_->addAction(QStringLiteral("Configure Quorvane2000..."));
    configure_->setObjectName(QStringLiteral("mnuConfigure"));
    configure_->setEnabled(false);
    share1_ = mainMenu_->addAction(QStringLiteral("S&hare a Folder..."));
    share1_->setObjectName(QStringLiteral("mnuShare1"));
    shareLink1_ = mainMenu_->addAction(QStringLiteral("Shar&e..."));
    shareLink1_->setObjectName(QStringLiteral("mnuShareLink1"));
    exportNginx_ = mainMenu_->addAction(QStringLiteral("E&xport for nginx..."));
    exportNginx_->setObjectName(QStringLiteral("mnuExportNginx"));
    exportNginx_->setEnabled(false);
    connect(exportNginx_, &QAction::triggered, this,
            [this] { ExportForNginx(this, control_.Folder(), *pickers_, setup_.messages); });
    autoStart1_ = mainMenu_->addAction(QStringLiteral("&AutoStart Quorvane and AutoStart Server"));
    autoStart1_->setObjectName(QStringLiteral("mnuAutoStart1"));
    minimise1_ = mainMenu_->addAction(QStringLiteral("&Minimise on Start"));
    minimise1_->setObjectName(QStringLiteral("mnuMinimise1"));
    mainMenu_->addSeparator()->setObjectName(QStringLiteral("sep2"));
    QAction* exit1 = mainMenu_->addAction(QStringLiteral("Exit Quorvane2000"));
    exit1->setObjectName(QStringLiteral("mnuSysTrayExit"));

    trayMenu_ = new QMenu(QStringLiteral("&SystemTrayMenu"), this);
    trayMenu_->setObjectName(QStringLiteral("SystemTrayMenu"));
    startItem_ = trayMenu_->addAction(QString());
    startItem_->setObjectName(QStringLiteral("mnuStart"));
    QAction* restore = trayMenu_->addAction(QStringLiteral("&Restore"));
    restore->setObjectName(QStringLiteral("mnuRestore"));
    share_ = trayMenu_->addAction(QStringLiteral("S&hare a Folder..."));
    share_->setObjectName(QStringLiteral("mnuShare"));
    shareLink_ = trayMenu_->addAction(QStringLiteral("Shar&e..."));
    shareLink_->setObjectName(QStringLiteral("mnuShareLink"));
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
        if (openOptions_ && openOptions_(this)) {
            SettingsSaved();
        }
    });
    for (QAction* item : {share1_, share_}) {
        item->setEnabled(false);
        connect(item, &QAction::triggered, this, [this] { OpenShareDialog(); });
    }
    for (QAction* item : {shareLink1_, shareLink_}) {
        item->setEnabled(false);
        connect(item, &QAction::triggered, this, &ControlWindow::OpenShareLinkDialog);
    }
    connect(startItem_, &QAction::triggered, this, &ControlWindow::ToggleServer);
    connect(restore, &QAction::triggered, this, &ControlWindow::RestoreWindow);
    connect(exit1, &QAction::triggered, this, &ControlWindow::ExitProgram);
    connect(exit, &QAction::triggered, this, &ControlWindow::ExitProgram);
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
            ShowListener();
            timeStarted_->setText(startedAt);
            startProblem_->hide();
            ShowSettings();  // the URLs now name the port actually listened on
        },
        Qt::QueuedConnection);
    connect(&bridge_, &EngineBridge::Stopped, this, &ControlWindow::ShowStopped,
            Qt::QueuedConnection);
    connect(&bridge_, &EngineBridge::StartFailed, this, &ControlWindow::ShowStartFailure,
            Qt::QueuedConnection);
}

void ControlWindow::ShowStopped() {
    ShowListener();
    timeStarted_->setText(kNotStarted);
    listening_->setText(FromStd(control_.ListenSummary()));
    ShowHttps();
    ShowAnnouncement();
    ShowServing();
}

void ControlWindow::ShowHttps() {
    const bool https = control_.IsListening() && control_.HttpsPort() != 0;
    secureUrl_->setText(
        https ? FromStd(SiteUrl(control_.Host().hostName, control_.HttpsPort(), true)) : QString());
    fingerprint_->setText(https ? FingerprintLines(control_.Fingerprint()) : QString());
    information_->setRowVisible(secureUrl_, https);
    information_->setRowVisible(fingerprint_, https);
}

void ControlWindow::ShowAnnouncement() {
    QStringList urls;
    for (const std::string& url :
         AnnouncedAddresses(control_.Announcement(), control_.Host().hostName)) {
        urls << FromStd(url);
    }
    announcedUrls_->setText(urls.join(QStringLiteral("  ")));
    announcedUrls_->setVisible(!urls.isEmpty());
}

void ControlWindow::ShowStartFailure(const QString& reason) {
    ShowStopped();
    const QString text = FromStd(StartFailureText(control_.LastPortTried(), reason.toStdString()));
    startProblem_->setText(text);
    startProblem_->show();
    tabs_->setCurrentIndex(0);
    setup_.messages.Warning(text, QStringLiteral("Start Error"));
}

void ControlWindow::AppendLog(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // Every message ends its line, so the next one never runs on after it.
    if (!lines.isEmpty() && !lines.endsWith(QLatin1Char('\n'))) {
        lines += QLatin1Char('\n');
    }
    QTextCursor cursor(log_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(lines);
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void ControlWindow::Startup() {
    setWindowTitle(kCaption + QStringLiteral(" - ") + FromStd(std::string(kVersion)));
    const server::StartupReport report = control_.Startup();
    minimise_->setChecked(report.minimise);
    minimise1_->setChecked(report.minimise);
    settingsFound_ = report.settingsFound;
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
    releaseVersion_->setText(QStringLiteral("Release Version ") + FromStd(std::string(kVersion)));
    serverIp_->setText(FromStd(control_.Host().ipAddress));
    ShowSettings();

    AddTrayIcon();
    desktopWatch_ = new QTimer(this);
    desktopWatch_->setInterval(3000);
    connect(desktopWatch_, &QTimer::timeout, this, &ControlWindow::WatchDesktop);
    desktopWatch_->start();
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

void ControlWindow::ShowSettings() {
    const config::Settings settings = config::Settings::Load(control_.Folder().SettingsPath());
    // The port a browser must use: the listener's while it runs, else the
    // one the settings name.
    shownPort_ =
        control_.IsListening() ? control_.Port() : server::ConfiguredPort(settings).value_or(80);
    siteUrl_->setText(FromStd(SiteUrl(control_.Host().hostName, shownPort_)));
    location_ = DescribeSiteLocation(settings, control_.Folder());
    serverLoc_->setText(FromStd(location_.text));
    serverLoc_->setToolTip(location_.isUrl
                               ? QStringLiteral("Every request is sent on to this address.")
                               : QStringLiteral("Open Windows Explorer at this location."));
    listening_->setText(FromStd(control_.ListenSummary()));
    ShowHttps();
    ShowAnnouncement();
    ShowLanAccess();
    ShowFileAccess(settings);
    ShowServing();
}

void ControlWindow::ShowFileAccess(const config::Settings& settings) {
    // HTTPS as the secure URL has it while the server runs, else as set.
    const uint16_t httpsPort = control_.IsListening()
                                   ? control_.HttpsPort()
                                   : server::ConfiguredHttpsPort(settings).value_or(0);
    const std::optional<std::string> address = FileManagerAddress(
        settings, config::ReadDirectories(control_.Folder().ListFilePath(config::kDirsList)),
        control_.Host().hostName, shownPort_, httpsPort);
    fileAddress_->setText(FromStd(address.value_or("")));
    information_->setRowVisible(fileAccessRow_, address.has_value());
}

void ControlWindow::ShowLanAccess() {
    const LanAccess lan = DescribeLanAccess(ChooseLanAddress(setup_.desktop.HostAddresses()),
                                            shownPort_, control_.ListensLocallyOnly());
    const QString url = FromStd(lan.url);
    const QString shown = url + QLatin1Char('\n') + FromStd(lan.note);
    if (shown == shownLan_) {
        return;  // the code in place is still right
    }
    shownLan_ = shown;
    lanUrl_->setText(url);
    lanUrl_->setVisible(!url.isEmpty());
    copyLanUrl_->setVisible(!url.isEmpty());
    std::optional<QrCode> code;
    if (!url.isEmpty()) {
        code = QrCode::Encode(lan.url);
    }
    if (code) {
        lanCode_->setPixmap(QrPixmap(*code));
    } else {
        lanCode_->setPixmap(QPixmap());
    }
    lanCode_->setVisible(code.has_value());
    lanCaption_->setVisible(code.has_value());
    lanNote_->setText(FromStd(lan.note));
    lanNote_->setVisible(!lan.note.empty());
}

void ControlWindow::ShowServing() {
    const bool serving = control_.IsListening();
    const TrayState state =
        DescribeTray(windowTitle().toStdString(), serving, siteUrl_->text().toStdString());
    if (tray_ != nullptr) {
        tray_->setIcon(AppIcon(state.serving));
        tray_->setToolTip(FromStd(state.toolTip));
    }
}

void ControlWindow::SettingsSaved() {
    // A port that cannot be taken leaves the server where it was, and the
    // labels show that; a failed restart reports itself through the engine,
    // like any start, and leaves the server off.
    std::string problem;
    const auto change = control_.FollowListenSettings(&problem);
    ShowSettings();
    ShowListener();
    if (change == server::ServerControl::ListenChange::kKept) {
        setup_.messages.Warning(FromStd(problem), QStringLiteral("Port Not Changed"));
    }
}

void ControlWindow::SetOptionsDialog(std::function<bool(QWidget*)> open) {
    openOptions_ = std::move(open);
    configure_->setEnabled(static_cast<bool>(openOptions_));
}

void ControlWindow::SetSharing(FilePickers& pickers, AskNewUser askUser) {
    pickers_ = &pickers;
    askUser_ = std::move(askUser);
    for (QAction* item : {share1_, share_, shareLink1_, shareLink_, exportNginx_}) {
        item->setEnabled(true);
    }
    sharedLinks_->SetPickers(pickers);
}

void ControlWindow::OpenShareLinkDialog() {
    RestoreWindow();
    tabs_->setCurrentWidget(sharedLinks_);
    sharedLinks_->OpenShareDialog();
}

void ControlWindow::OpenShareDialog(const QString& folder) {
    if (pickers_ == nullptr) {
        return;
    }
    if (shareDialog_ == nullptr) {
        shareDialog_ =
            new ShareDialog({control_.Folder(), setup_.messages, *pickers_, askUser_,
                             [this](const std::string& name) { return PublishShared(name); }},
                            this);
        shareDialog_->setAttribute(Qt::WA_DeleteOnClose);
    }
    if (!folder.isEmpty()) {
        shareDialog_->SetFolder(folder);
    }
    RestoreWindow();
    shareDialog_->show();
    shareDialog_->raise();
    shareDialog_->activateWindow();
}

Publication ControlWindow::PublishShared(const std::string& name) {
    const bool serving = ServeShared();
    const LanAccess lan = DescribeLanAccess(ChooseLanAddress(setup_.desktop.HostAddresses()),
                                            shownPort_, control_.ListensLocallyOnly());
    return {FromStd(SharedFolderUrl(lan.url, SiteUrl(control_.Host().hostName, shownPort_), name)),
            serving};
}

bool ControlWindow::ServeShared() {
    if (settingsFound_ && !control_.IsListening()) {
        ToggleServer();
    }
    control_.FollowAnnouncement();  // the new folder may take writes
    ShowSettings();
    return control_.IsListening();
}

std::string ControlWindow::ReachableSiteUrl() {
    return ShareLinkSite(ChooseLanAddress(setup_.desktop.HostAddresses()), control_.Host().hostName,
                         shownPort_, control_.HttpsPort(), control_.ListensLocallyOnly());
}

void ControlWindow::AddTrayIcon() {
    if (tray_ != nullptr || !setup_.desktop.TrayAvailable()) {
        return;
    }
    tray_ = new QSystemTrayIcon(this);
    tray_->setContextMenu(trayMenu_);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    ToggleWindow();
                } else if (reason == QSystemTrayIcon::DoubleClick) {
                    RestoreWindow();
                }
            });
    ShowServing();
    tray_->show();
}

void ControlWindow::WatchDesktop() {
    if (settingsFound_) {
        AddTrayIcon();
        ShowLanAccess();
        if (isVisible() && tabs_->currentWidget() == sharedLinks_) {
            sharedLinks_->Refresh();  // shares.lst changes as links are used
        }
    }
}

void ControlWindow::ToggleServer() {
    control_.ToggleServer();
    ShowListener();
}

void ControlWindow::ShowListener() {
    const bool running = control_.IsListening();
    toggle_->setText(running ? kStopCaption : kStartCaption);
    startItem_->setText(running ? QStringLiteral("&Stop") : QStringLiteral("&Start"));
    start_->setEnabled(!running);
    kill_->setEnabled(running);
}

void ControlWindow::RefreshLog() {
    if (setup_.messages.Question(QStringLiteral("quorvane.log will be emptied. The log shown here "
                                                "is kept. Empty quorvane.log now?"),
                                 QStringLiteral("Refresh Log"))) {
        control_.RefreshLog();
    }
}

void ControlWindow::ShowRootDirectory(const QString& folder) {
    location_ = {control_.Folder().Resolve(folder.toStdString()).string(), false};
    serverLoc_->setText(FromStd(location_.text));
}

void ControlWindow::OpenInBrowser(const QString& url) {
    switch (setup_.desktop.OpenUrl(url)) {
        case UrlOpening::kOpened:
            return;
        case UrlOpening::kNoBrowser:
            setup_.messages.Warning(QStringLiteral("Could not find associated Browser"),
                                    QStringLiteral("Browser Not Found"));
            return;
        case UrlOpening::kFailed:
            setup_.messages.Warning(QStringLiteral("Web Page not Opened"), QStringLiteral("URL"));
            return;
    }
}

void ControlWindow::RestoreWindow() {
    showNormal();
    raise();
    activateWindow();
}

void ControlWindow::ToggleWindow() {
    if (isVisible() && !isMinimized()) {
        hide();
    } else {
        RestoreWindow();
    }
}

void ControlWindow::ExitProgram() {
    exitChosen_ = true;
    close();
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
    if (event->type() == QEvent::WindowStateChange && isMinimized() && tray_ != nullptr &&
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

bool ControlWindow::eventFilter(QObject* watched, QEvent* event) {
    // A tab page gets no height for the width it is given, so its wrapped
    // labels would be cut short: its least height follows its width.
    if (watched == informationPage_ && event->type() == QEvent::Resize) {
        const int needed =
            informationPage_->layout()->totalHeightForWidth(informationPage_->width());
        if (needed > 0 && needed != informationPage_->minimumHeight()) {
            informationPage_->setMinimumHeight(needed);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void ControlWindow::closeEvent(QCloseEvent* event) {
    const bool trayShown = tray_ != nullptr && setup_.desktop.TrayAvailable();
    if (!unloaded_ &&
        DecideClose(exitChosen_, control_.IsListening(), trayShown) == CloseAction::kHideToTray) {
        event->ignore();
        hide();
        if (!hideNoticeShown_) {
            hideNoticeShown_ = true;
            setup_.desktop.ShowTrayMessage(
                *tray_, kCaption,
                QStringLiteral("Quorvane2000 keeps serving %1 from here. Choose \"Exit "
                               "Quorvane2000\" in this icon's menu to end it.")
                    .arg(siteUrl_->text()));
        }
        return;
    }
    if (!unloaded_) {
        unloaded_ = true;
        control_.Unload();
        if (desktopWatch_ != nullptr) {
            desktopWatch_->stop();
        }
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
