#include "ui/options/options_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "config/settings_file.h"
#include "config/text.h"
#include "server/listen_plan.h"
#include "ui/options/entry_dialogs.h"
#include "ui/options/list_page.h"

namespace quorvane::ui {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
std::string S(const QString& text) {
    return text.toStdString();
}

template <typename Widget, typename... Args>
Widget* Named(const char* name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* Text(const char* name, const QString& text) {
    auto* label = Named<QLabel>(name, text);
    label->setWordWrap(true);
    return label;
}

QPushButton* Button(const char* name, const QString& caption) {
    auto* button = Named<QPushButton>(name, caption);
    button->setAutoDefault(false);
    return button;
}

// A page: the tab's own caption above its controls.
QWidget* Page(const QString& caption, QLayout* content) {
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);
    auto* frame = new QGroupBox(caption);
    frame->setLayout(content);
    outer->addWidget(frame);
    return page;
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets, bool stretchFirst = false) {
    auto* row = new QHBoxLayout;
    if (stretchFirst) {
        row->addStretch();
    }
    for (QWidget* widget : widgets) {
        row->addWidget(widget);
    }
    if (!stretchFirst) {
        row->addStretch();
    }
    return row;
}

std::optional<size_t> Selected(QListWidget* list) {
    const int row = list->currentRow();
    if (row < 0 || list->selectedItems().isEmpty()) {
        return std::nullopt;
    }
    return static_cast<size_t>(row);
}

QIcon Icon(QStyle::StandardPixmap which) {
    return QApplication::style()->standardIcon(which);
}

}  // namespace

OptionsDialog::OptionsDialog(Setup setup, QWidget* parent)
    : QDialog(parent),
      setup_(std::move(setup)),
      directories_(setup_.folder),
      blocked_(setup_.folder, config::kBlockList, setup_.hostAddresses, true),
      cgiBarred_(setup_.folder, config::kNoCgiList),
      documents_(setup_.folder),
      mimeTypes_(setup_.folder),
      users_(setup_.folder) {
    setObjectName(QStringLiteral("frmProperties"));
    setWindowTitle(QStringLiteral("Properties"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    tabs_ = Named<QTabWidget>("TabStrip1");
    tabs_->addTab(VirtualDirectoriesPage(), QStringLiteral("Virtual Directories"));
    tabs_->addTab(DocumentsPage(), QStringLiteral("Documents"));
    tabs_->addTab(SecurityPage(), QStringLiteral("Security"));
    tabs_->addTab(MimePage(), QStringLiteral("MIME Types"));
    tabs_->addTab(ErrorsPage(), QStringLiteral("Custom Errors"));
    tabs_->addTab(CgiPage(), QStringLiteral("CGI Scripts"));
    tabs_->addTab(LoggingPage(), QStringLiteral("Logging"));
    tabs_->addTab(HomePage(), QStringLiteral("Home Directory"));
    tabs_->addTab(ExpiryPage(), QStringLiteral("Content Expiry"));
    tabs_->addTab(FaultPage(), QStringLiteral("Fault Tolerance"));
    tabs_->addTab(UsersPage(), QStringLiteral("User Authentication"));
    tabs_->setUsesScrollButtons(true);
    layout->addWidget(tabs_);
    auto* update = Button("cmdUpdate", QStringLiteral("&Update"));
    auto* cancel = Button("cmdCancel", QStringLiteral("&Cancel"));
    layout->addLayout(Row({update, cancel}, true));
    connect(update, &QPushButton::clicked, this, &OptionsDialog::Update);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(640, 520);
    Load();
}

OptionsDialog::~OptionsDialog() = default;

QWidget* OptionsDialog::VirtualDirectoriesPage() {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label1", QStringLiteral("This is where you set up any virtual directories you "
                                      "want Quorvane to know about.  The first entry in the "
                                      "list is always /. The / entry is the default location "
                                      "for the website that Quorvane serves. This CANNOT be "
                                      "deleted.")));
    vdirs_ = Named<QTreeWidget>("vdirs");
    vdirs_->setHeaderLabels({QStringLiteral("Virtual Directory"), QStringLiteral("Path "),
                             QStringLiteral("Secure?"), QStringLiteral("Script"),
                             QStringLiteral("EXE")});
    vdirs_->setRootIsDecorated(false);
    layout->addWidget(vdirs_);
    auto* add = Button("Command1", QStringLiteral("&Add..."));
    auto* remove = Button("Command3", QStringLiteral("&Remove"));
    layout->addLayout(Row({add, remove}));
    new ListPage(
        vdirs_, add, remove, setup_.messages,
        {.fill = [this] { FillDirectories(); },
         .add =
             [this] {
                 AddDirectoryDialog dialog(directories_, setup_.messages, setup_.pickers, this);
                 setup_.exec(dialog);
                 directories_.Save();  // after either button, so a missing list appears
             },
         .remove = [this](std::optional<size_t> row) { return directories_.Remove(row); },
         .question = QStringLiteral("Are you sure you want to remove this Virtual Directory?"),
         .title = QStringLiteral("Remove Virtual Directory"),
         .refuse = [this](size_t row) -> std::optional<ListPage::Refusal> {
             if (directories_.Rows()[row][0] == "/") {
                 return ListPage::Refusal{
                     QStringLiteral("You cannot remove the Default Site Location."),
                     QStringLiteral("Virtual Directory Error")};
             }
             return std::nullopt;
         }},
        this);
    return Page(QStringLiteral("Virtual Directories"), layout);
}

QWidget* OptionsDialog::DocumentsPage() {
    auto* layout = new QVBoxLayout;
    directoryBrowsing_ =
        Named<QCheckBox>("DirectoryBrowsing",
                         QStringLiteral("Enable Directory Browsing If Default Document Not Found"));
    layout->addWidget(directoryBrowsing_);

    auto* footerFrame = Named<QGroupBox>("FooterFrame", QStringLiteral("Document Footer"));
    auto* footerLayout = new QVBoxLayout(footerFrame);
    docFooter_ =
        Named<QCheckBox>("DocFooter", QStringLiteral("Include Document Footer On Each Page"));
    footerHtml_ = Named<QLineEdit>("FooterHTML");
    footerLayout->addWidget(docFooter_);
    footerLayout->addWidget(Text("Label6", QStringLiteral("Footer HTML Code")));
    footerLayout->addWidget(footerHtml_);
    layout->addWidget(footerFrame);
    connect(docFooter_, &QCheckBox::clicked, footerHtml_, &QWidget::setEnabled);

    auto* docsFrame = Named<QGroupBox>("DocsFrame", QStringLiteral("Default Document List"));
    auto* docsLayout = new QHBoxLayout(docsFrame);
    defaultList_ = Named<QListWidget>("DefaultList");
    auto* up = Button("Command6", QStringLiteral("\u2191"));
    up->setToolTip(QStringLiteral("Move Document UP In List"));
    auto* down = Button("Command7", QStringLiteral("\u2193"));
    down->setToolTip(QStringLiteral("Move Document DOWN In List"));
    auto* add = Button("Command8", QStringLiteral("&Add..."));
    auto* remove = Button("Command9", QStringLiteral("&Remove"));
    auto* side = new QVBoxLayout;
    side->addWidget(Text("Label20", QStringLiteral("Move")));
    side->addWidget(up);
    side->addWidget(down);
    side->addStretch();
    side->addWidget(add);
    side->addWidget(remove);
    docsLayout->addWidget(defaultList_);
    docsLayout->addLayout(side);
    layout->addWidget(docsFrame);
    layout->addWidget(Text("DocDescription",
                           QStringLiteral("Enter here the default document names to search for, "
                                          "if no document name is supplied by the client, "
                                          "Quorvane will search for the documents sequentially, "
                                          "and will use the first document name found, as the "
                                          "default.")));
    connect(up, &QPushButton::clicked, this,
            [this] { FillDocuments(documents_.MoveUp(Selected(defaultList_))); });
    connect(down, &QPushButton::clicked, this,
            [this] { FillDocuments(documents_.MoveDown(Selected(defaultList_))); });
    new ListPage(
        defaultList_, add, remove, setup_.messages,
        {.fill = [this] { FillDocuments(); },
         .add =
             [this] {
                 DocumentDialog dialog(documents_, setup_.messages, this);
                 setup_.exec(dialog);
                 documents_.SaveOrDelete();
             },
         .remove = [this](std::optional<size_t> row) { return documents_.Remove(row); },
         .question = QStringLiteral("Are you sure you want to remove this Default Document?"),
         .title = QStringLiteral("Quorvane")},
        this);
    return Page(QStringLiteral("Documents"), layout);
}

QWidget* OptionsDialog::SecurityPage() {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label2", QStringLiteral("Within this tab, you can set which machines will be "
                                      "blocked from accessing information from Quorvane2000. "
                                      "Any machine with an IP Address which is listed below, "
                                      "will be blocked from accessing resources on "
                                      "Quorvane2000.")));
    layout->addWidget(Text("Label4", QStringLiteral("All computers have access, except:")));
    ipList_ = Named<QTreeWidget>("IPList");
    ipList_->setHeaderLabels({QStringLiteral("IP"), QStringLiteral("Status")});
    ipList_->setRootIsDecorated(false);
    layout->addWidget(ipList_);
    auto* add = Button("Command4", QStringLiteral("&Add..."));
    auto* remove = Button("Command5", QStringLiteral("&Remove"));
    layout->addLayout(Row({add, remove}));
    AddressPage(ipList_, add, remove, blocked_, true);
    return Page(QStringLiteral("Server Security"), layout);
}

QWidget* OptionsDialog::MimePage() {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label9", QStringLiteral("Enter here the additional MIME types you would like to "
                                      "make Quorvane aware about.  There is a default set "
                                      "supplied with Quorvane, but you can add to the list as "
                                      "and when required.")));
    mimeList_ = Named<QListWidget>("MimeList");
    layout->addWidget(mimeList_);
    auto* add = Button("Command13", QStringLiteral("&Add..."));
    auto* remove = Button("Command14", QStringLiteral("&Remove"));
    layout->addLayout(Row({add, remove}));
    new ListPage(mimeList_, add, remove, setup_.messages,
                 {.fill = [this] { FillMimeTypes(); },
                  .add =
                      [this] {
                          MimeDialog dialog(mimeTypes_, setup_.messages, this);
                          setup_.exec(dialog);
                      },
                  .remove = [this](std::optional<size_t> row) { return mimeTypes_.Remove(row); },
                  .question = QStringLiteral("Are you sure you want to remove that MIME Header?"),
                  .title = QStringLiteral("Remove MIME Type")},
                 this);
    return Page(QStringLiteral("MIME Types"), layout);
}

QWidget* OptionsDialog::ErrorsPage() {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label12", QStringLiteral("You can set Quorvane2000 to use your own custom error "
                                       "pages. All you need to do is simply press the Edit "
                                       "Properties button and then browse for your desired "
                                       "page.  ")));
    errorList_ = Named<QTreeWidget>("ErrorList");
    errorList_->setHeaderLabels({QStringLiteral("HTTP Error"), QStringLiteral("File Name")});
    errorList_->setRootIsDecorated(false);
    layout->addWidget(errorList_);
    auto* location = Text("ErrorLocation", QStringLiteral("Location"));
    location->setToolTip(QStringLiteral("Click To Open To Location In Explorer"));
    auto* edit = Button("Command15", QStringLiteral("&Edit Properties..."));
    layout->addLayout(Row({location, edit}, true));
    connect(edit, &QPushButton::clicked, this, [this] {
        QTreeWidgetItem* row = errorList_->currentItem();
        if (row == nullptr || !row->isSelected()) {
            return;
        }
        const QString initial =
            QString::fromStdString(setup_.folder.Resolve(S(row->text(1))).string());
        if (const auto file = setup_.pickers.ChooseFile(
                this, initial,
                QStringLiteral("All Files (*);;HTML Files(*.htm);;HTML Files(*.html)"),
                QStringLiteral("HTML Files(*.htm)"))) {
            row->setText(1, *file);
        }
    });
    return Page(QStringLiteral("Custom Errors"), layout);
}

QWidget* OptionsDialog::CgiPage() {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label3", QStringLiteral("You can configure here the CGI Scripting facilities "
                                      "available in Quorvane2000. You can enable/disable "
                                      "scripting in the whole server or to specific IP "
                                      "Addresses. ")));
    cgiEnabled_ = Named<QCheckBox>("CGIEnabled",
                                   QStringLiteral("Enable CGI Scripting Execution on This Server"));
    enablePerl_ = Named<QCheckBox>("EnablePerl", QStringLiteral("Enable PERL Scripting Support"));
    perlLocation_ = Named<QLineEdit>("PerlLocation");
    scriptTimeout_ = Named<QLineEdit>("ScriptTimeout");
    scriptTimeout_->setMaximumWidth(80);
    layout->addWidget(cgiEnabled_);
    layout->addWidget(enablePerl_);
    layout->addWidget(
        Text("Label19", QStringLiteral("PERL Interpreter Executable and Location is:")));
    layout->addWidget(perlLocation_);
    layout->addLayout(
        Row({Text("Label21", QStringLiteral("Script time-out (seconds)")), scriptTimeout_}));
    layout->addWidget(Text("Label16", QStringLiteral("The following machines do not have CGI "
                                                     "Scripting access:")));
    cgiNoList_ = Named<QListWidget>("CGINoList");
    layout->addWidget(cgiNoList_);
    cgiAdd_ = Button("Command16", QStringLiteral("&Add..."));
    cgiRemove_ = Button("Command18", QStringLiteral("&Remove"));
    layout->addLayout(Row({cgiAdd_, cgiRemove_}));
    connect(cgiEnabled_, &QCheckBox::clicked, this, &OptionsDialog::SetCgiControls);
    connect(enablePerl_, &QCheckBox::clicked, perlLocation_, &QWidget::setEnabled);
    AddressPage(cgiNoList_, cgiAdd_, cgiRemove_, cgiBarred_, false);
    return Page(QStringLiteral("CGI Scripting"), layout);
}

QWidget* OptionsDialog::LoggingPage() {
    auto* layout = new QVBoxLayout;
    auto* frame = Named<QGroupBox>("LoggingFrame", QStringLiteral("Refresh Log Every Time"));
    auto* frameLayout = new QVBoxLayout(frame);
    refreshOnRun_ = Named<QRadioButton>("RefreshOnRun", QStringLiteral("Quorvane2000 Is Run"));
    refreshOnStop_ = Named<QRadioButton>("RefreshOnStop",
                                         QStringLiteral("Quorvane2000 is Stopped and Restarted"));
    userControlled_ =
        Named<QRadioButton>("UserControlled", QStringLiteral("When I Refresh the Log Myself"));
    loggingGroup_ = new QButtonGroup(this);
    for (QRadioButton* button : {refreshOnRun_, refreshOnStop_, userControlled_}) {
        loggingGroup_->addButton(button);
        frameLayout->addWidget(button);
    }
    layout->addWidget(frame);
    logLimit_ = Named<QLineEdit>("LogLimit");
    logLimit_->setMaximumWidth(80);
    layout->addLayout(Row({Text("Label22", QStringLiteral("Start a new log file past (MiB, 0 is "
                                                          "never); the old one is kept as "
                                                          "QUORVANE.LOG.1")),
                           logLimit_}));
    layout->addWidget(
        Text("Label10", QStringLiteral("Select how you want Quorvane2000 to update the Server "
                                       "access logs. The log file is called QUORVANE.LOG and is "
                                       "saved in the same directory that the Quorvane2000 "
                                       "executable is found in.")));
    layout->addStretch();
    return Page(QStringLiteral("Logging"), layout);
}

QWidget* OptionsDialog::HomePage() {
    auto* layout = new QVBoxLayout;
    auto* frame = Named<QGroupBox>(
        "HomePageFrame",
        QStringLiteral("When connecting to this server, the content should come from:"));
    auto* frameLayout = new QVBoxLayout(frame);
    thisComputer_ = Named<QRadioButton>(
        "ThisComputer", QStringLiteral("A physical directory located on this computer"));
    redirection_ =
        Named<QRadioButton>("Redirection", QStringLiteral("A redirection to another URL"));
    frameLayout->addWidget(thisComputer_);
    frameLayout->addWidget(redirection_);
    layout->addWidget(frame);
    homeLabel_ = Text("Label2", QStringLiteral("Homepage Location"));
    homePage_ = Named<QLineEdit>("HomePage");
    browseHome_ = Button("Command11", QStringLiteral("Browse..."));
    layout->addWidget(homeLabel_);
    auto* homeRow = new QHBoxLayout;
    homeRow->addWidget(homePage_);
    homeRow->addWidget(browseHome_);
    layout->addLayout(homeRow);
    secureSite_ =
        Named<QCheckBox>("SecureSite", QStringLiteral("Visitors must Authenticate to view site"));
    scriptAllowed_ = Named<QCheckBox>(
        "ScriptAllowed", QStringLiteral("Allow Scripting Access (PERL Script Execution)"));
    exeAllowed_ = Named<QCheckBox>(
        "EXEAllowed", QStringLiteral("Allow EXE Files to be CGI Scripts (EXE File Execution)"));
    layout->addWidget(secureSite_);
    layout->addWidget(scriptAllowed_);
    layout->addWidget(exeAllowed_);
    port_ = Named<QLineEdit>("ServerPort");
    port_->setMaximumWidth(80);
    // Who can connect; an address typed into the settings by hand stays a
    // third choice of its own.
    listen_ = Named<QComboBox>("ListenChoice");
    listen_->setToolTip(
        QStringLiteral("Who can open the site: any computer or phone on the "
                       "network, or only programs on this computer."));
    layout->addLayout(Row({Text("Label22", QStringLiteral("TCP Port")), port_, listen_}));
    layout->addWidget(HttpsFrame());
    layout->addWidget(
        Text("Label5", QStringLiteral("Here you set the location of the website where "
                                      "Quorvane2000 will search. Once you have made the "
                                      "changes here, the entries in the Virtual Directory "
                                      "list will also be updated.")));
    layout->addStretch();
    connect(redirection_, &QRadioButton::clicked, this, [this] { ShowSiteChoice(false); });
    connect(thisComputer_, &QRadioButton::clicked, this, [this] {
        ShowSiteChoice(true);
        homePage_->setFocus();
    });
    connect(browseHome_, &QPushButton::clicked, this, [this] {
        const QString start =
            QString::fromStdString(setup_.folder.Resolve(S(homePage_->text())).string());
        if (const auto folder =
                setup_.pickers.ChooseFolder(this, QStringLiteral("Select Home Directory"), start)) {
            homePage_->setText(*folder);
            if (setup_.rootChanged) {
                setup_.rootChanged(*folder);
            }
        }
    });
    return Page(QStringLiteral("Home Directory"), layout);
}

QWidget* OptionsDialog::HttpsFrame() {
    auto* frame = Named<QGroupBox>("HttpsFrame",
                                   QStringLiteral("HTTPS (passwords and pages travel encrypted)"));
    auto* form = new QFormLayout(frame);
    httpsPort_ = Named<QLineEdit>("HttpsPort");
    httpsPort_->setMaximumWidth(80);
    httpsPort_->setToolTip(QStringLiteral("0 turns HTTPS off; 443 is the usual port."));
    form->addRow(Text("Label23", QStringLiteral("HTTPS port (0 is off)")), httpsPort_);
    const QString pemFilter = QStringLiteral("PEM Files (*.pem *.crt *.key);;All Files (*)");
    // A file row: the box and its picker.
    auto fileRow = [&](const char* name, const char* button, const QString& caption) {
        auto* box = Named<QLineEdit>(name);
        box->setPlaceholderText(QStringLiteral("empty: a self-signed certificate is made"));
        auto* browse = Button(button, QStringLiteral("Browse..."));
        connect(browse, &QPushButton::clicked, this, [this, box, pemFilter] {
            const QString start = QString::fromStdString(
                setup_.folder.Resolve(S(box->text().isEmpty() ? QStringLiteral(".") : box->text()))
                    .string());
            if (const auto file = setup_.pickers.ChooseFile(this, start, pemFilter, pemFilter)) {
                box->setText(*file);
            }
        });
        auto* row = new QHBoxLayout;
        row->addWidget(box);
        row->addWidget(browse);
        form->addRow(Text("", caption), row);
        return box;
    };
    certificateFile_ =
        fileRow("CertificateFile", "BrowseCertificate", QStringLiteral("Certificate file"));
    keyFile_ = fileRow("KeyFile", "BrowseKey", QStringLiteral("Key file"));
    redirectToHttps_ =
        Named<QCheckBox>("RedirectToHttps", QStringLiteral("Send visitors to HTTPS"));
    form->addRow(redirectToHttps_);
    return frame;
}

QWidget* OptionsDialog::ExpiryPage() {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label14", QStringLiteral("Content Expiry. You can set Quorvane2000 to return "
                                       "content expiry information to the browser. If the site "
                                       "served by Quorvane2000 is updated regularly, you may "
                                       "want to use content expiry, as the next time the "
                                       "browser accesses a page it will come from Quorvane2000 "
                                       "and not the browsers cache.")));
    contentExpires_ =
        Named<QCheckBox>("ContentExpires", QStringLiteral("Enable Content Expiry on Quorvane2000"));
    layout->addWidget(contentExpires_);
    expireInfo_ = Named<QGroupBox>("ExpireInfo", QStringLiteral("Expiration Parameters"));
    auto* info = new QVBoxLayout(expireInfo_);
    expImmediate_ =
        Named<QRadioButton>("ExpImmediate", QStringLiteral("Content Expires Immediately"));
    expAfter_ = Named<QRadioButton>("ExpAfter", QStringLiteral("Content Expires After:"));
    expireDuration_ = Named<QLineEdit>("ExpireDuration");
    expireDuration_->setMaximumWidth(80);
    expireInterval_ = Named<QComboBox>("ExpireInterval");
    expireInterval_->setEditable(true);
    info->addWidget(expImmediate_);
    info->addLayout(Row({expAfter_, expireDuration_, expireInterval_}));
    layout->addWidget(expireInfo_);
    layout->addWidget(
        Text("Label15", QStringLiteral("For Content Expiry to work correctly, you must make "
                                       "sure that the system date and time on the machine "
                                       "running Quorvane2000 is correct.")));
    layout->addStretch();
    connect(contentExpires_, &QCheckBox::clicked, this,
            [this](bool checked) { SetExpiryControls(checked, checked); });
    connect(expAfter_, &QRadioButton::clicked, this, [this] {
        expireDuration_->setEnabled(true);
        expireInterval_->setEnabled(true);
    });
    connect(expImmediate_, &QRadioButton::clicked, this, [this] {
        expireDuration_->setEnabled(false);
        expireInterval_->setEnabled(false);
    });
    return Page(QStringLiteral("Content Expiry"), layout);
}

QWidget* OptionsDialog::FaultPage() {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label8", QStringLiteral("Enable Quorvane2000s in-built fault tolerance. The "
                                      "fault tolerance is quite a simple technology. If any of "
                                      "the standard configuration files are missing at start "
                                      "up, Quorvane2000 will rebuild them. Obviously if the "
                                      "main INI file is missing, only the INI file can be "
                                      "rebuilt. Once this has been done, you can re-run "
                                      "Quorvane2000 to get it to check for any other missing "
                                      "configuration files.")));
    layout->addWidget(Text("Label11", QStringLiteral("Rebuild the following configuration files if "
                                                     "they appear to be missing:")));
    rebuildDirs_ =
        Named<QCheckBox>("RebuildDIRS", QStringLiteral("Rebuild a Simple Virtual Directory List"));
    rebuildMime_ = Named<QCheckBox>(
        "RebuildMIME",
        QStringLiteral("Rebuild MIME List (A simple set of MIME types are configured)"));
    rebuildDefault_ =
        Named<QCheckBox>("RebuildDefault", QStringLiteral("Default Document Name List"));
    layout->addWidget(rebuildDirs_);
    layout->addWidget(rebuildMime_);
    layout->addWidget(rebuildDefault_);
    layout->addWidget(
        Text("Label17", QStringLiteral("Please Note: Although Quorvane2000 can rebuild certain "
                                       "configuration files. Quorvane2000 may still not continue "
                                       "to function after a rebuild. This facility simply makes "
                                       "reconfiguration easier and can recover from simple "
                                       "configuration corruptions.")));
    layout->addStretch();
    return Page(QStringLiteral("Fault Tolerance"), layout);
}

QWidget* OptionsDialog::UsersPage() {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label7", QStringLiteral("Here you can configure Quorvane2000's Basic "
                                      "Authentication facilities. To add a user profile, you "
                                      "need to supply a username and a password. This is then "
                                      "used during the authentication process by the user. "
                                      "User security is then added to a virtual directory. "
                                      "When a user then requests access to a specific "
                                      "directory, they will be asked to supply their username "
                                      "and password.")));
    userList_ = Named<QListWidget>("UserList");
    layout->addWidget(userList_);
    addUserStart_ = Button("Command10", QStringLiteral("&Add User..."));
    removeUser_ = Button("Command12", QStringLiteral("&Remove User"));
    layout->addLayout(Row({addUserStart_, removeUser_}));
    newUser_ = Named<QGroupBox>("Frame3", QStringLiteral("New User Details"));
    auto* form = new QFormLayout(newUser_);
    username_ = Named<QLineEdit>("Username");
    password_ = Named<QLineEdit>("Password");
    password_->setEchoMode(QLineEdit::Password);
    form->addRow(Text("Label13", QStringLiteral("Username:")), username_);
    form->addRow(Text("Label18", QStringLiteral("Password:")), password_);
    addUser_ = Button("Command17", QStringLiteral("Add"));
    finishUsers_ = Button("Command19", QStringLiteral("Finish"));
    form->addRow(Row({addUser_, finishUsers_}, true));
    layout->addWidget(newUser_);
    connect(addUserStart_, &QPushButton::clicked, this, [this] {
        newUser_->setEnabled(true);
        SetUserEntry(true);
        username_->setFocus();
    });
    connect(finishUsers_, &QPushButton::clicked, this, [this] {
        username_->clear();
        password_->clear();
        SetUserEntry(false);
        addUserStart_->setFocus();
    });
    connect(addUser_, &QPushButton::clicked, this, &OptionsDialog::AddUser);
    // Enter in either box adds the account, as the Add button does.
    connect(username_, &QLineEdit::returnPressed, addUser_, &QPushButton::click);
    connect(password_, &QLineEdit::returnPressed, addUser_, &QPushButton::click);
    const QString title = QStringLiteral("User Authentication");
    new ListPage(userList_, nullptr, removeUser_, setup_.messages,
                 {.fill = [this] { FillUsers(); },
                  .remove = [this](std::optional<size_t> row) { return users_.Remove(row); },
                  .question = QStringLiteral("Are you sure you want to delete this user?"),
                  .title = title,
                  .refuse = [this, title](size_t row) -> std::optional<ListPage::Refusal> {
                      if (config::EqualsIgnoringCase(users_.Rows()[row][0], "ADMIN")) {
                          return ListPage::Refusal{
                              QStringLiteral("You cannot delete the Administrator user."), title};
                      }
                      return std::nullopt;
                  }},
                 this);
    return Page(QStringLiteral("User Authentication"), layout);
}

void OptionsDialog::Load() {
    const OptionsValues values = LoadOptions(config::Settings::Load(setup_.folder.SettingsPath()));
    expireInterval_->addItems({QStringLiteral("Days"), QStringLiteral("Weeks")});
    FillDirectories();
    FillAddresses(ipList_, blocked_, true);
    FillDocuments();
    FillMimeTypes();

    docFooter_->setChecked(values.docFooter);
    footerHtml_->setText(Q(values.footerHtml));
    footerHtml_->setEnabled(values.docFooter);
    directoryBrowsing_->setChecked(values.directoryBrowsing);
    refreshOnRun_->setChecked(values.refreshOnRun);
    refreshOnStop_->setChecked(values.refreshOnStop);
    userControlled_->setChecked(values.userControlled);
    logLimit_->setText(Q(values.logLimitMiB));
    secureSite_->setChecked(values.secureSite);
    scriptAllowed_->setChecked(values.scriptAllowed);
    exeAllowed_->setChecked(values.exeAllowed);
    homePage_->setText(Q(values.homePage));
    port_->setText(Q(values.port));
    const server::ListenChoice listen = server::ListenChoiceOf(values.listen);
    for (auto reach :
         {server::ListenChoice::Reach::kNetwork, server::ListenChoice::Reach::kLocal}) {
        listen_->addItem(Q(server::ListenChoiceText({reach, ""})),
                         Q(server::ListenValue({reach, ""})));
    }
    if (listen.reach == server::ListenChoice::Reach::kAddress) {
        listen_->addItem(Q(server::ListenChoiceText(listen)), Q(listen.address));
    }
    listen_->setCurrentIndex(static_cast<int>(listen.reach));
    httpsPort_->setText(Q(values.httpsPort));
    certificateFile_->setText(Q(values.certificateFile));
    keyFile_->setText(Q(values.keyFile));
    redirectToHttps_->setChecked(values.redirectToHttps);
    thisComputer_->setChecked(values.thisComputer);
    redirection_->setChecked(!values.thisComputer);
    ShowSiteChoice(values.thisComputer);

    for (const auto& [code, file] : values.errorPages) {
        auto* row = new QTreeWidgetItem(errorList_, {Q(code), Q(file)});
        row->setIcon(0, Icon(QStyle::SP_FileIcon));
    }

    contentExpires_->setChecked(values.contentExpires);
    expAfter_->setChecked(values.expireAfter);
    expImmediate_->setChecked(!values.expireAfter);
    expireDuration_->setText(Q(values.duration));
    expireInterval_->setCurrentText(Q(values.intervalType));
    SetExpiryControls(values.contentExpires, values.contentExpires && values.expireAfter);

    enablePerl_->setChecked(values.enablePerl);
    perlLocation_->setText(Q(values.perlLocation));
    scriptTimeout_->setText(Q(values.scriptTimeout));
    cgiEnabled_->setChecked(values.cgiEnabled);
    FillAddresses(cgiNoList_, cgiBarred_, false);
    SetCgiControls(values.cgiEnabled);
    perlLocation_->setEnabled(values.enablePerl);  // this rule decides last

    rebuildDefault_->setChecked(values.rebuildDefault);
    rebuildMime_->setChecked(values.rebuildMime);
    rebuildDirs_->setChecked(values.rebuildDirs);
    FillUsers();
    newUser_->setEnabled(false);
    SetUserEntry(false);
}

void OptionsDialog::FillDirectories() {
    vdirs_->clear();
    for (const config::Record& record : directories_.Rows()) {
        auto* row = new QTreeWidgetItem(
            vdirs_, {Q(record[0]), Q(record[1]), Q(record[2]), Q(record[3]), Q(record[4])});
        row->setIcon(0,
                     Icon(record[2] == "Yes" ? QStyle::SP_DialogApplyButton : QStyle::SP_DirIcon));
    }
}

void OptionsDialog::FillAddresses(QWidget* list, const AddressEditor& editor, bool withStatus) {
    const QIcon icon = Icon(QStyle::SP_MessageBoxWarning);
    if (withStatus) {
        auto* tree = static_cast<QTreeWidget*>(list);
        tree->clear();
        for (const config::Record& record : editor.Rows()) {
            auto* row =
                new QTreeWidgetItem(tree, {Q(record[0]), QStringLiteral("Is Denied Access")});
            row->setIcon(0, icon);
        }
        return;
    }
    auto* box = static_cast<QListWidget*>(list);
    box->clear();
    for (const config::Record& record : editor.Rows()) {
        new QListWidgetItem(icon, Q(record[0]), box);
    }
}

void OptionsDialog::FillDocuments(std::optional<size_t> select) {
    const int keep = select ? static_cast<int>(*select) : -1;
    defaultList_->clear();
    for (const config::Record& record : documents_.Rows()) {
        defaultList_->addItem(Q(record[0]));
    }
    if (keep >= 0) {
        defaultList_->setCurrentRow(keep);
    }
}

void OptionsDialog::FillMimeTypes() {
    mimeList_->clear();
    for (const config::Record& record : mimeTypes_.Rows()) {
        mimeList_->addItem(Q(record[0]));
    }
}

void OptionsDialog::FillUsers() {
    userList_->clear();
    const QIcon icon = Icon(QStyle::SP_DialogApplyButton);
    for (const config::Record& record : users_.Rows()) {
        new QListWidgetItem(icon, Q(record[0]), userList_);
    }
}

void OptionsDialog::ShowSiteChoice(bool thisComputer) {
    homeLabel_->setText(thisComputer ? QStringLiteral("Homepage Location")
                                     : QStringLiteral("Redirect To URL"));
    browseHome_->setEnabled(thisComputer);
    secureSite_->setEnabled(thisComputer);
}

void OptionsDialog::AddressPage(QAbstractItemView* list, QPushButton* add, QPushButton* remove,
                                AddressEditor& editor, bool blockList) {
    auto fill = [this, list, &editor, blockList] { FillAddresses(list, editor, blockList); };
    new ListPage(list, add, remove, setup_.messages,
                 {.fill = fill,
                  .add =
                      [this, &editor, blockList] {
                          AddressDialog dialog(editor, setup_.messages, blockList, this);
                          setup_.exec(dialog);
                          editor.Save();  // after either button, so a missing list appears
                      },
                  .remove = [&editor](std::optional<size_t> row) { return editor.Remove(row); },
                  .question = QStringLiteral("Are you sure you want to remove this IP Address?"),
                  .title = QStringLiteral("Remove IP Address"),
                  .askFirst = true},
                 this);
}

void OptionsDialog::SetExpiryControls(bool enabled, bool durationEnabled) {
    for (QWidget* control :
         {static_cast<QWidget*>(expireInfo_), static_cast<QWidget*>(expImmediate_),
          static_cast<QWidget*>(expAfter_)}) {
        control->setEnabled(enabled);
    }
    expireDuration_->setEnabled(durationEnabled);
    expireInterval_->setEnabled(durationEnabled);
}

void OptionsDialog::SetCgiControls(bool enabled) {
    for (QWidget* control : {static_cast<QWidget*>(cgiAdd_), static_cast<QWidget*>(cgiRemove_),
                             static_cast<QWidget*>(cgiNoList_), static_cast<QWidget*>(enablePerl_),
                             static_cast<QWidget*>(perlLocation_)}) {
        control->setEnabled(enabled);
    }
}

void OptionsDialog::SetUserEntry(bool entering) {
    for (QWidget* control :
         {static_cast<QWidget*>(username_), static_cast<QWidget*>(password_),
          static_cast<QWidget*>(addUser_), static_cast<QWidget*>(finishUsers_)}) {
        control->setEnabled(entering);
    }
    addUserStart_->setEnabled(!entering);
    removeUser_->setEnabled(!entering);
}

void OptionsDialog::AddUser() {
    const QString title = QStringLiteral("User Authentication");
    const Edit result = users_.Add(S(username_->text()), S(password_->text()));
    switch (result) {
        case Edit::kNameMissing:
            setup_.messages.Warning(QStringLiteral("You must supply a Username."), title);
            username_->setFocus();
            return;
        case Edit::kPasswordMissing:
            setup_.messages.Warning(QStringLiteral("You must supply a Password."), title);
            password_->setFocus();
            return;
        case Edit::kDuplicate:
            setup_.messages.Warning(
                QStringLiteral("A user with this name already exists. Please choose another "
                               "username."),
                title);
            username_->clear();
            username_->setFocus();
            return;
        default:
            if (ReportEdit(setup_.messages, result, title)) {
                FillUsers();
                username_->clear();
                password_->clear();
                username_->setFocus();
            }
    }
}

void OptionsDialog::Update() {
    // A refused value is shown on its tab, with the cursor in its box, before
    // the message says what is wrong with it.
    auto refuse = [this](int tab, QWidget* box, const QString& message) {
        tabs_->setCurrentIndex(tab);
        box->setFocus();
        setup_.messages.Warning(message, windowTitle());
    };
    if (!IsPortNumber(S(port_->text()))) {
        refuse(7, port_, QStringLiteral("The TCP port must be a number from 1 to 65535."));
        return;
    }
    const std::string httpsPort = S(httpsPort_->text().trimmed());
    if (!IsHttpsPortNumber(httpsPort)) {
        refuse(7, httpsPort_,
               QStringLiteral("The HTTPS port must be 0 (off) or a number from 1 to 65535."));
        return;
    }
    if (std::stol(httpsPort) != 0 && std::stol(httpsPort) == std::stol(S(port_->text()))) {
        refuse(7, httpsPort_, QStringLiteral("HTTPS needs a port of its own, not the TCP port."));
        return;
    }
    if (certificateFile_->text().trimmed().isEmpty() != keyFile_->text().trimmed().isEmpty()) {
        refuse(7, certificateFile_->text().trimmed().isEmpty() ? certificateFile_ : keyFile_,
               QStringLiteral("Give both a certificate file and its key file, or neither for a "
                              "self-signed certificate."));
        return;
    }
    if (redirection_->isChecked() && !IsRedirectTarget(S(homePage_->text()))) {
        refuse(7, homePage_,
               QStringLiteral("The Redirect To URL must be a whole web address that begins with "
                              "http:// or https://, such as http://www.example.com/."));
        return;
    }
    if (!IsWholeSeconds(S(scriptTimeout_->text()))) {
        refuse(5, scriptTimeout_,
               QStringLiteral(
                   "The script time-out must be a whole number of seconds from 1 to 86400."));
        return;
    }
    if (!IsLogLimit(S(logLimit_->text()))) {
        refuse(6, logLimit_,
               QStringLiteral("The log size limit must be a whole number of MiB from 0 (no limit) "
                              "to 1000000."));
        return;
    }
    OptionsValues values;
    values.docFooter = docFooter_->isChecked();
    values.footerHtml = S(footerHtml_->text());
    values.directoryBrowsing = directoryBrowsing_->isChecked();
    values.refreshOnRun = refreshOnRun_->isChecked();
    values.refreshOnStop = refreshOnStop_->isChecked();
    values.userControlled = userControlled_->isChecked();
    values.logLimitMiB = S(logLimit_->text().trimmed());
    values.secureSite = secureSite_->isChecked();
    values.scriptAllowed = scriptAllowed_->isChecked();
    values.exeAllowed = exeAllowed_->isChecked();
    values.homePage = S(homePage_->text());
    values.thisComputer = thisComputer_->isChecked();
    values.port = S(port_->text().trimmed());
    values.listen = S(listen_->currentData().toString());
    values.httpsPort = httpsPort;
    values.certificateFile = S(certificateFile_->text().trimmed());
    values.keyFile = S(keyFile_->text().trimmed());
    values.redirectToHttps = redirectToHttps_->isChecked();
    for (int i = 0; i < errorList_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = errorList_->topLevelItem(i);
        values.errorPages.push_back({S(row->text(0)), S(row->text(1))});
    }
    values.contentExpires = contentExpires_->isChecked();
    values.expireAfter = !expImmediate_->isChecked();
    values.duration = S(expireDuration_->text());
    values.intervalType = S(expireInterval_->currentText());
    values.cgiEnabled = cgiEnabled_->isChecked();
    values.enablePerl = enablePerl_->isChecked();
    values.perlLocation = S(perlLocation_->text());
    values.scriptTimeout = S(scriptTimeout_->text().trimmed());
    values.rebuildDefault = rebuildDefault_->isChecked();
    values.rebuildMime = rebuildMime_->isChecked();
    values.rebuildDirs = rebuildDirs_->isChecked();

    const std::vector<config::SettingWrite> writes = UpdateWrites(values);
    if (!config::WriteSettings(setup_.folder.SettingsPath(), writes)) {
        setup_.messages.Warning(QStringLiteral("The settings could not be saved. A value may hold "
                                               "a line break, or the settings file cannot be "
                                               "written."),
                                windowTitle());
        return;
    }
    if (values.thisComputer) {
        directories_.ApplyHomeDirectory(values.homePage, values.secureSite, values.scriptAllowed,
                                        values.exeAllowed);
    }
    directories_.Save();
    accept();
}

}  // namespace quorvane::ui
