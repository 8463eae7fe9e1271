#include "ui/options/options_dialog.h"

#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "config/settings_file.h"
#include "ui/options/cgi_scripts_page.h"
#include "ui/options/content_expiry_page.h"
#include "ui/options/custom_errors_page.h"
#include "ui/options/documents_page.h"
#include "ui/options/fault_tolerance_page.h"
#include "ui/options/home_directory_page.h"
#include "ui/options/logging_page.h"
#include "ui/options/mime_types_page.h"
#include "ui/options/security_page.h"
#include "ui/options/user_authentication_page.h"
#include "ui/options/virtual_directories_page.h"
#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

OptionsDialog::OptionsDialog(Setup setup, QWidget* parent)
    : QDialog(parent),
      setup_(std::move(setup)),
      lists_(setup_.folder, setup_.hostAddresses),
      loaded_(LoadOptions(config::Settings::Load(setup_.folder.SettingsPath()))) {
    setObjectName(QStringLiteral("frmProperties"));
    setWindowTitle(QStringLiteral("Properties"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    tabs_ = Named<QTabWidget>("TabStrip1");
    AddPage(new VirtualDirectoriesPage(setup_, lists_), QStringLiteral("Virtual Directories"));
    AddPage(new DocumentsPage(setup_, lists_.documents), QStringLiteral("Documents"));
    AddPage(new SecurityPage(setup_, lists_.blocked), QStringLiteral("Security"));
    AddPage(new MimeTypesPage(setup_, lists_.mimeTypes), QStringLiteral("MIME Types"));
    AddPage(new CustomErrorsPage(setup_), QStringLiteral("Custom Errors"));
    AddPage(new CgiScriptsPage(setup_, lists_.barred), QStringLiteral("CGI Scripts"));
    AddPage(new LoggingPage, QStringLiteral("Logging"));
    AddPage(new HomeDirectoryPage(setup_), QStringLiteral("Home Directory"));
    AddPage(new ContentExpiryPage, QStringLiteral("Content Expiry"));
    AddPage(new FaultTolerancePage, QStringLiteral("Fault Tolerance"));
    AddPage(new UserAuthenticationPage(setup_, lists_), QStringLiteral("User Authentication"));
    tabs_->setUsesScrollButtons(true);
    layout->addWidget(tabs_);
    auto* update = Button("cmdUpdate", QStringLiteral("&Update"));
    auto* cancel = Button("cmdCancel", QStringLiteral("&Cancel"));
    layout->addLayout(Row({update, cancel}, true));
    connect(update, &QPushButton::clicked, this, &OptionsDialog::Update);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(640, 520);
    for (OptionsPage* page : pages_) {
        page->Show(loaded_);
    }
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::AddPage(OptionsPage* page, const QString& caption) {
    tabs_->addTab(page, caption);
    pages_.push_back(page);
}

bool OptionsDialog::Refused() {
    for (OptionsPage* page : pages_) {
        if (const std::optional<OptionsPage::Refusal> refusal = page->Check()) {
            tabs_->setCurrentWidget(page);
            refusal->box->setFocus();
            setup_.messages.Warning(refusal->message, windowTitle());
            return true;
        }
    }
    return false;
}

std::optional<std::filesystem::path> OptionsDialog::CommitLists(const OptionsValues& values) {
    if (values.thisComputer) {
        lists_.directories.ApplyHomeDirectory({.folder = values.homePage,
                                               .secure = values.secureSite,
                                               .scripts = values.scriptAllowed,
                                               .programs = values.exeAllowed,
                                               .uploads = values.uploads,
                                               .changes = values.changes});
    }
    lists_.directories.WriteAtCommit();
    return lists_.CommitAll();
}

void OptionsDialog::Update() {
    if (Refused()) {
        return;
    }
    OptionsValues values;
    values.stored = loaded_.stored;
    for (const OptionsPage* page : pages_) {
        page->Collect(values);
    }
    bool saved = false;
    std::optional<std::filesystem::path> failed;
    setup_.together([&] {
        saved = config::WriteSettings(setup_.folder.SettingsPath(), UpdateWrites(values));
        if (saved) {
            failed = CommitLists(values);
        }
    });
    if (!saved) {
        setup_.messages.Warning(QStringLiteral("The settings could not be saved. A value may hold "
                                               "a line break, or the settings file cannot be "
                                               "written."),
                                windowTitle());
        return;
    }
    if (failed) {
        setup_.messages.Warning(QStringLiteral("The settings were saved, but %1 could not be "
                                               "written, so its changes are not yet kept.")
                                    .arg(QString::fromStdString(failed->filename().string())),
                                windowTitle());
        return;
    }
    if (values.thisComputer && setup_.rootChanged) {
        setup_.rootChanged(QString::fromStdString(values.homePage));
    }
    accept();
}

}  // namespace quorvane::ui
