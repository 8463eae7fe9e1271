#include "ui/options/https_frame.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

namespace {

const QString kPemFilter = QStringLiteral("PEM Files (*.pem *.crt *.key);;All Files (*)");

}  // namespace

HttpsFrame::HttpsFrame(const OptionsSetup& setup)
    : QGroupBox(QStringLiteral("HTTPS (passwords and pages travel encrypted)")), setup_(setup) {
    setObjectName(QStringLiteral("HttpsFrame"));
    auto* form = new QFormLayout(this);
    port_ = Named<QLineEdit>("HttpsPort");
    port_->setMaximumWidth(80);
    port_->setToolTip(QStringLiteral("0 turns HTTPS off; 443 is the usual port."));
    form->addRow(Caption("Label23", QStringLiteral("HTTPS port (0 is off)")), port_);
    certificateFile_ =
        FileRow(form, "CertificateFile", "BrowseCertificate", QStringLiteral("Certificate file"));
    keyFile_ = FileRow(form, "KeyFile", "BrowseKey", QStringLiteral("Key file"));
    redirect_ = Named<QCheckBox>("RedirectToHttps", QStringLiteral("Send visitors to HTTPS"));
    form->addRow(redirect_);
}

QLineEdit* HttpsFrame::FileRow(QFormLayout* form, const char* name, const char* button,
                               const QString& caption) {
    auto* box = Named<QLineEdit>(name);
    box->setPlaceholderText(QStringLiteral("empty: a self-signed certificate is made"));
    auto* browse = Button(button, QStringLiteral("Browse..."));
    connect(browse, &QPushButton::clicked, this, [this, box] {
        const QString start =
            Q(setup_.folder.Resolve(S(box->text().isEmpty() ? QStringLiteral(".") : box->text()))
                  .string());
        if (const auto file = setup_.pickers.ChooseFile(this, start, kPemFilter, kPemFilter)) {
            box->setText(*file);
        }
    });
    auto* row = new QHBoxLayout;
    row->addWidget(box);
    row->addWidget(browse);
    form->addRow(Caption("", caption), row);
    return box;
}

void HttpsFrame::Show(const OptionsValues& values) {
    port_->setText(Q(values.httpsPort));
    certificateFile_->setText(Q(values.certificateFile));
    keyFile_->setText(Q(values.keyFile));
    redirect_->setChecked(values.redirectToHttps);
}

std::optional<OptionsPage::Refusal> HttpsFrame::Check(const QString& tcpPort) const {
    const std::string port = S(port_->text().trimmed());
    if (!IsHttpsPortNumber(port)) {
        return OptionsPage::Refusal{
            port_, QStringLiteral("The HTTPS port must be 0 (off) or a number from 1 to 65535.")};
    }
    if (std::stol(port) != 0 && std::stol(port) == std::stol(S(tcpPort))) {
        return OptionsPage::Refusal{
            port_, QStringLiteral("HTTPS needs a port of its own, not the TCP port.")};
    }
    const bool noCertificate = certificateFile_->text().trimmed().isEmpty();
    if (noCertificate != keyFile_->text().trimmed().isEmpty()) {
        return OptionsPage::Refusal{
            noCertificate ? certificateFile_ : keyFile_,
            QStringLiteral("Give both a certificate file and its key file, or neither for a "
                           "self-signed certificate.")};
    }
    return std::nullopt;
}

void HttpsFrame::Collect(OptionsValues& values) const {
    values.httpsPort = S(port_->text().trimmed());
    values.certificateFile = S(certificateFile_->text().trimmed());
    values.keyFile = S(keyFile_->text().trimmed());
    values.redirectToHttps = redirect_->isChecked();
}

}  // namespace quorvane::ui
