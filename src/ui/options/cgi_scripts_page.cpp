#include "ui/options/cgi_scripts_page.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/options/address_list_page.h"
#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

CgiScriptsPage::CgiScriptsPage(const OptionsSetup& setup, AddressEditor& barred) : barred_(barred) {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label3", QStringLiteral("You can configure here the CGI Scripting facilities "
                                      "available in Quorvane2000. You can enable/disable "
                                      "scripting in the whole server or to specific IP "
                                      "Addresses. ")));
    enabled_ = Named<QCheckBox>("CGIEnabled",
                                QStringLiteral("Enable CGI Scripting Execution on This Server"));
    perl_ = Named<QCheckBox>("EnablePerl", QStringLiteral("Enable PERL Scripting Support"));
    perlLocation_ = Named<QLineEdit>("PerlLocation");
    timeout_ = Named<QLineEdit>("ScriptTimeout");
    timeout_->setMaximumWidth(80);
    layout->addWidget(enabled_);
    layout->addWidget(perl_);
    layout->addWidget(
        Text("Label19", QStringLiteral("PERL Interpreter Executable and Location is:")));
    layout->addWidget(perlLocation_);
    layout->addLayout(
        Row({Text("Label21", QStringLiteral("Script time-out (seconds)")), timeout_}));
    layout->addWidget(Text("Label16", QStringLiteral("The following machines do not have CGI "
                                                     "Scripting access:")));
    list_ = Named<QListWidget>("CGINoList");
    layout->addWidget(list_);
    add_ = Button("Command16", QStringLiteral("&Add..."));
    edit_ = Button("EditBarred", QStringLiteral("&Edit..."));
    remove_ = Button("Command18", QStringLiteral("&Remove"));
    layout->addLayout(Row({add_, edit_, remove_}));
    connect(enabled_, &QCheckBox::clicked, this, &CgiScriptsPage::SetControls);
    connect(perl_, &QCheckBox::clicked, perlLocation_, &QWidget::setEnabled);
    NewAddressListPage(
        {list_, add_, edit_, remove_}, barred_, false, setup, [this] { Fill(); }, this);
    SetContent(QStringLiteral("CGI Scripting"), layout);
    Fill();
}

void CgiScriptsPage::SetControls(bool enabled) {
    for (QWidget* control : {static_cast<QWidget*>(add_), static_cast<QWidget*>(edit_),
                             static_cast<QWidget*>(remove_), static_cast<QWidget*>(list_),
                             static_cast<QWidget*>(perl_), static_cast<QWidget*>(perlLocation_)}) {
        control->setEnabled(enabled);
    }
}

void CgiScriptsPage::Fill() {
    list_->clear();
    const QIcon icon = Icon(QStyle::SP_MessageBoxWarning);
    for (const config::Record& record : barred_.Rows()) {
        new QListWidgetItem(icon, Q(record[0]), list_);
    }
}

void CgiScriptsPage::Show(const OptionsValues& values) {
    perl_->setChecked(values.enablePerl);
    perlLocation_->setText(Q(values.perlLocation));
    timeout_->setText(Q(values.scriptTimeout));
    enabled_->setChecked(values.cgiEnabled);
    SetControls(values.cgiEnabled);
    perlLocation_->setEnabled(values.enablePerl);  // this rule decides last
}

std::optional<OptionsPage::Refusal> CgiScriptsPage::Check() const {
    if (!IsWholeSeconds(S(timeout_->text()))) {
        return Refusal{timeout_, QStringLiteral("The script time-out must be a whole number of "
                                                "seconds from 1 to 86400.")};
    }
    return std::nullopt;
}

void CgiScriptsPage::Collect(OptionsValues& values) const {
    values.cgiEnabled = enabled_->isChecked();
    values.enablePerl = perl_->isChecked();
    values.perlLocation = S(perlLocation_->text());
    values.scriptTimeout = S(timeout_->text().trimmed());
}

}  // namespace quorvane::ui
