#include "ui/options/home_directory_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "config/setting_keys.h"
#include "server/listen_plan.h"
#include "ui/options/https_frame.h"
#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

HomeDirectoryPage::HomeDirectoryPage(const OptionsSetup& setup) : setup_(setup) {
    auto* layout = new QVBoxLayout;
    layout->addWidget(SiteChoiceFrame());
    homeLabel_ = Text("Label2", QStringLiteral("Homepage Location"));
    homePage_ = Named<QLineEdit>("HomePage");
    browse_ = Button("Command11", QStringLiteral("Browse..."));
    layout->addWidget(homeLabel_);
    auto* homeRow = new QHBoxLayout;
    homeRow->addWidget(homePage_);
    homeRow->addWidget(browse_);
    layout->addLayout(homeRow);
    secureSite_ =
        Named<QCheckBox>("SecureSite", QStringLiteral("Visitors must Authenticate to view site"));
    rights_ = WithWriteBoxes(
        Named<QCheckBox>("ScriptAllowed",
                         QStringLiteral("Allow Scripting Access (PERL Script Execution)")),
        Named<QCheckBox>("EXEAllowed",
                         QStringLiteral("Allow EXE Files to be CGI Scripts (EXE File Execution)")));
    for (QCheckBox* box :
         {secureSite_, rights_.scripts, rights_.programs, rights_.uploads, rights_.changes}) {
        layout->addWidget(box);
    }
    layout->addLayout(UploadLimits());
    layout->addLayout(PortRow());
    announce_ =
        Named<QCheckBox>("Announce", QStringLiteral("Announce this server on the local network"));
    announce_->setToolTip(
        QStringLiteral("Other computers and phones on the network find the site by name "
                       "(mDNS). Never while only this computer can connect."));
    layout->addWidget(announce_);
    https_ = new HttpsFrame(setup_);
    layout->addWidget(https_);
    layout->addWidget(
        Text("Label5", QStringLiteral("Here you set the location of the website where "
                                      "Quorvane2000 will search. Once you have made the "
                                      "changes here, the entries in the Virtual Directory "
                                      "list will also be updated.")));
    layout->addStretch();
    connect(browse_, &QPushButton::clicked, this, &HomeDirectoryPage::BrowseHome);
    SetContent(QStringLiteral("Home Directory"), layout);
}

QWidget* HomeDirectoryPage::SiteChoiceFrame() {
    auto* frame = Named<QGroupBox>(
        "HomePageFrame",
        QStringLiteral("When connecting to this server, the content should come from:"));
    auto* layout = new QVBoxLayout(frame);
    thisComputer_ = Named<QRadioButton>(
        "ThisComputer", QStringLiteral("A physical directory located on this computer"));
    redirection_ =
        Named<QRadioButton>("Redirection", QStringLiteral("A redirection to another URL"));
    layout->addWidget(thisComputer_);
    layout->addWidget(redirection_);
    connect(redirection_, &QRadioButton::clicked, this, [this] { ShowSiteChoice(false); });
    connect(thisComputer_, &QRadioButton::clicked, this, [this] {
        ShowSiteChoice(true);
        homePage_->setFocus();
    });
    return frame;
}

QLayout* HomeDirectoryPage::UploadLimits() {
    keepFree_ = Named<QSpinBox>("KeepFreeMiB");
    keepFree_->setToolTip(
        QStringLiteral("An upload that would leave less free room than this on the disk "
                       "is refused."));
    maxFile_ = Named<QSpinBox>("MaxFileMiB");
    auto* form = new QFormLayout;
    for (QSpinBox* box : {keepFree_, maxFile_}) {
        box->setRange(0, kMiBBoxMax);
    }
    form->addRow(Caption("KeepFreeLabel", QStringLiteral("Keep free on disk (MiB)")), keepFree_);
    form->addRow(Caption("MaxFileLabel", QStringLiteral("Largest upload (MiB, 0 is no limit)")),
                 maxFile_);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    return form;
}

QLayout* HomeDirectoryPage::PortRow() {
    port_ = Named<QLineEdit>("ServerPort");
    port_->setMaximumWidth(80);
    // Who can connect; an address typed into the settings by hand stays a
    // third choice of its own.
    listen_ = Named<QComboBox>("ListenChoice");
    listen_->setToolTip(
        QStringLiteral("Who can open the site: any computer or phone on the "
                       "network, or only programs on this computer."));
    // Nothing is announced while only this computer can connect.
    connect(listen_, &QComboBox::currentIndexChanged, this, [this](int index) {
        announce_->setEnabled(index != static_cast<int>(server::ListenChoice::Reach::kLocal));
    });
    return Row({Text("Label22", QStringLiteral("TCP Port")), port_, listen_});
}

void HomeDirectoryPage::ShowSiteChoice(bool thisComputer) {
    homeLabel_->setText(thisComputer ? QStringLiteral("Homepage Location")
                                     : QStringLiteral("Redirect To URL"));
    browse_->setEnabled(thisComputer);
    secureSite_->setEnabled(thisComputer);
}

void HomeDirectoryPage::ShowListenChoice(const std::string& listen) {
    using Reach = server::ListenChoice::Reach;
    const server::ListenChoice choice = server::ListenChoiceOf(listen);
    listen_->clear();
    for (Reach reach : {Reach::kNetwork, Reach::kLocal}) {
        listen_->addItem(Q(server::ListenChoiceText({reach, ""})),
                         Q(server::ListenValue({reach, ""})));
    }
    if (choice.reach == Reach::kAddress) {
        listen_->addItem(Q(server::ListenChoiceText(choice)), Q(choice.address));
    }
    listen_->setCurrentIndex(static_cast<int>(choice.reach));
}

void HomeDirectoryPage::BrowseHome() {
    const QString start = Q(setup_.folder.Resolve(S(homePage_->text())).string());
    if (const auto folder =
            setup_.pickers.ChooseFolder(this, QStringLiteral("Select Home Directory"), start)) {
        homePage_->setText(*folder);
    }
}

void HomeDirectoryPage::Show(const OptionsValues& values) {
    secureSite_->setChecked(values.secureSite);
    rights_.scripts->setChecked(values.scriptAllowed);
    rights_.programs->setChecked(values.exeAllowed);
    rights_.uploads->setChecked(values.uploads);
    rights_.changes->setChecked(values.changes);
    ShowWriteBoxes(rights_);
    keepFree_->setValue(MiBBoxValue(config::setting::kKeepFreeMiB, values.keepFreeMiB));
    maxFile_->setValue(MiBBoxValue(config::setting::kMaxFileMiB, values.maxFileMiB));
    homePage_->setText(Q(values.homePage));
    port_->setText(Q(values.port));
    announce_->setChecked(values.announce);
    ShowListenChoice(values.listen);
    https_->Show(values);
    thisComputer_->setChecked(values.thisComputer);
    redirection_->setChecked(!values.thisComputer);
    ShowSiteChoice(values.thisComputer);
}

std::optional<OptionsPage::Refusal> HomeDirectoryPage::Check() const {
    if (!IsPortNumber(S(port_->text()))) {
        return Refusal{port_, QStringLiteral("The TCP port must be a number from 1 to 65535.")};
    }
    if (auto refusal = https_->Check(port_->text())) {
        return refusal;
    }
    if (redirection_->isChecked() && !IsRedirectTarget(S(homePage_->text()))) {
        return Refusal{homePage_,
                       QStringLiteral("The Redirect To URL must be a whole web address that "
                                      "begins with http:// or https://, such as "
                                      "http://www.example.com/.")};
    }
    return std::nullopt;
}

void HomeDirectoryPage::Collect(OptionsValues& values) const {
    values.secureSite = secureSite_->isChecked();
    values.scriptAllowed = rights_.scripts->isChecked();
    values.exeAllowed = rights_.programs->isChecked();
    values.uploads = rights_.uploads->isChecked();
    values.changes = rights_.changes->isChecked();
    values.keepFreeMiB = std::to_string(keepFree_->value());
    values.maxFileMiB = std::to_string(maxFile_->value());
    values.homePage = S(homePage_->text());
    values.thisComputer = thisComputer_->isChecked();
    values.port = S(port_->text().trimmed());
    values.listen = S(listen_->currentData().toString());
    values.announce = announce_->isChecked();
    https_->Collect(values);
}

}  // namespace quorvane::ui
