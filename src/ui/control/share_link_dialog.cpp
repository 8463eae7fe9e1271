#include "ui/control/share_link_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ui/control/share_links_view.h"

namespace quorvane::ui {

namespace {

const QString kTitle = QStringLiteral("Share");

template <typename Widget, typename... Args>
Widget* Named(const char* name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QString FromStd(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ShareLinkDialog::ShareLinkDialog(Setup setup, QWidget* parent)
    : QDialog(parent), setup_(std::move(setup)) {
    setObjectName(QStringLiteral("ShareLinkDialog"));
    setWindowTitle(kTitle);
    pages_ = new QStackedWidget;
    pages_->addWidget(BuildChoicePage());
    pages_->addWidget(BuildResultPage());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
}

QWidget* ShareLinkDialog::BuildChoicePage() {
    auto* page = new QWidget;
    path_ = Named<QLineEdit>("LinkPath");
    path_->setMinimumWidth(path_->fontMetrics().averageCharWidth() * 40);
    auto* file = Named<QPushButton>("LinkChooseFile", QStringLiteral("F&ile..."));
    auto* folder = Named<QPushButton>("LinkChooseFolder", QStringLiteral("F&older..."));
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(path_);
    pathRow->addWidget(file);
    pathRow->addWidget(folder);
    lifetime_ = Named<QComboBox>("LinkLifetime");
    for (const LifetimeChoice& choice : kLifetimeChoices) {
        lifetime_->addItem(FromStd(choice.label), FromStd(choice.text));
    }
    lifetime_->setCurrentIndex(static_cast<int>(kDefaultLifetime));
    downloads_ = Named<QSpinBox>("LinkDownloads");
    downloads_->setRange(0, 1000000);
    downloads_->setSpecialValueText(QStringLiteral("No limit"));
    note_ = Named<QLineEdit>("LinkNote");
    note_->setPlaceholderText(QStringLiteral("Only you see it, in the Shared Links tab"));
    auto* buttons =
        Named<QDialogButtonBox>("LinkButtons", QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Make Link"));
    auto* pathLabel = new QLabel(QStringLiteral("&File or folder:"));
    pathLabel->setBuddy(path_);
    auto* form = new QFormLayout;
    form->addRow(pathLabel, pathRow);
    form->addRow(QStringLiteral("&Opens for:"), lifetime_);
    form->addRow(QStringLiteral("&Downloads:"), downloads_);
    form->addRow(QStringLiteral("&Note:"), note_);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addStretch();
    layout->addWidget(buttons);
    connect(file, &QPushButton::clicked, this, &ShareLinkDialog::ChooseFile);
    connect(folder, &QPushButton::clicked, this, &ShareLinkDialog::ChooseFolder);
    connect(buttons, &QDialogButtonBox::accepted, this, &ShareLinkDialog::Make);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    return page;
}

QWidget* ShareLinkDialog::BuildResultPage() {
    auto* page = new QWidget;
    auto* intro = new QLabel(QStringLiteral(
        "The link: copy it or scan it. The Shared Links tab shows it again until Quorvane2000 "
        "ends; after that, nowhere."));
    intro->setWordWrap(true);
    address_.emplace(QStringLiteral("Link"), QStringLiteral("the link"));
    serving_ = Named<QLabel>("LinkServing", QStringLiteral("Quorvane is not serving: the link "
                                                           "opens once it runs."));
    serving_->setWordWrap(true);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(intro);
    layout->addLayout(address_->Row());
    layout->addWidget(address_->Code());
    layout->addWidget(serving_);
    layout->addStretch();
    layout->addWidget(close);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::accept);
    return page;
}

void ShareLinkDialog::ChooseFile() {
    if (const std::optional<QString> chosen =
            setup_.pickers.ChooseFile(this, path_->text(), QString(), QString())) {
        path_->setText(*chosen);
    }
}

void ShareLinkDialog::ChooseFolder() {
    if (const std::optional<QString> chosen =
            setup_.pickers.ChooseFolder(this, QStringLiteral("Folder to Share"), path_->text())) {
        path_->setText(*chosen);
    }
}

void ShareLinkDialog::Make() {
    const std::string path = path_->text().trimmed().toStdString();
    if (path.empty()) {
        setup_.messages.Warning(QStringLiteral("Choose the file or folder to share."), kTitle);
        return;
    }
    const std::optional<config::ShareLifetime> lifetime =
        config::ParseShareLifetime(lifetime_->currentData().toString().toStdString());
    responses::ShareWish wish{
        .path = path, .lifetime = lifetime.value(), .note = note_->text().trimmed().toStdString()};
    if (downloads_->value() > 0) {
        wish.downloads = static_cast<uint64_t>(downloads_->value());
    }
    const auto made = responses::MakeShare(setup_.folder, wish, config::Clock::now());
    if (const auto* problem = std::get_if<std::string>(&made)) {
        setup_.messages.Warning(FromStd(*problem), kTitle);
        return;
    }
    ShowLink(setup_.made(std::get<responses::MadeShare>(made)));
}

void ShareLinkDialog::ShowLink(const Publication& where) {
    address_->Show(where.url);
    serving_->setVisible(!where.serving);
    pages_->setCurrentIndex(1);
}

}  // namespace quorvane::ui
