#include "ui/control/share_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>


namespace quorvane::ui {

namespace {

const QString kTitle = QStringLiteral("Share a Folder");

template <typename Widget, typename... Args>
Widget* Named(const QString& name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(name);
    return widget;
}

QString FromStd(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::optional<NewUser> AskNewUserDialog(QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Add User"));
    auto* name = new QLineEdit;
    auto* password = new QLineEdit;
    password->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("&Name:"), name);
    form->addRow(QStringLiteral("&Password:"), password);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return NewUser{name->text(), password->text()};
}

ShareDialog::ShareDialog(Setup setup, QWidget* parent)
    : QDialog(parent), setup_(std::move(setup)), share_(setup_.folder) {
    setObjectName(QStringLiteral("ShareDialog"));
    setWindowTitle(kTitle);
    pages_ = new QStackedWidget;
    pages_->addWidget(BuildChoicePage());
    pages_->addWidget(BuildResultPage());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
}

QWidget* ShareDialog::BuildChoicePage() {
    auto* page = new QWidget;
    folder_ = Named<QLineEdit>(QStringLiteral("ShareFolder"));
    auto* browse = Named<QPushButton>(QStringLiteral("ShareBrowse"), QStringLiteral("&Browse..."));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_);
    folderRow->addWidget(browse);
    name_ = Named<QLineEdit>(QStringLiteral("ShareName"));
    name_->setToolTip(
        QStringLiteral("The folder opens at the site's address followed by this name."));
    uploads_ =
        Named<QCheckBox>(QStringLiteral("ShareUploads"), QStringLiteral("Visitors may &add files"));
    changes_ = Named<QCheckBox>(QStringLiteral("ShareChanges"),
                                QStringLiteral("Visitors may &change and delete files"));
    buttons_ = Named<QDialogButtonBox>(QStringLiteral("ShareButtons"),
                                       QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons_->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Share"));
    // Room for a folder's whole path, as far as the screen allows.
    folder_->setMinimumWidth(folder_->fontMetrics().averageCharWidth() * 40);
    auto* folderLabel = new QLabel(QStringLiteral("&Folder:"));
    folderLabel->setBuddy(folder_);
    auto* form = new QFormLayout;
    form->addRow(folderLabel, folderRow);
    form->addRow(QStringLiteral("&Name in the URL:"), name_);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(BuildUsersBox());
    layout->addWidget(uploads_);
    layout->addWidget(changes_);
    layout->addStretch();
    layout->addWidget(buttons_);
    connect(browse, &QPushButton::clicked, this, &ShareDialog::ChooseFolder);
    connect(folder_, &QLineEdit::editingFinished, this, [this] { SetFolder(folder_->text()); });
    connect(buttons_, &QDialogButtonBox::accepted, this, &ShareDialog::Share);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    return page;
}

QWidget* ShareDialog::BuildUsersBox() {
    auto* box = new QGroupBox(QStringLiteral("Who may open it"));
    anyone_ = Named<QRadioButton>(QStringLiteral("ShareAnyone"),
                                  QStringLiteral("A&nyone who has the address"));
    chosen_ = Named<QRadioButton>(QStringLiteral("ShareChosenUsers"),
                                  QStringLiteral("&Only these users, with their password:"));
    anyone_->setChecked(true);
    userBoxes_ = new QVBoxLayout;
    userBoxes_->setContentsMargins(20, 0, 0, 0);
    auto* add = Named<QPushButton>(QStringLiteral("ShareAddUser"), QStringLiteral("Add &user..."));
    auto* addRow = new QHBoxLayout;
    addRow->addSpacing(20);
    addRow->addWidget(add);
    addRow->addStretch();
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(anyone_);
    layout->addWidget(chosen_);
    layout->addLayout(userBoxes_);
    layout->addLayout(addRow);
    connect(add, &QPushButton::clicked, this, &ShareDialog::AddUser);
    ShowUsers(QString());
    return box;
}

QWidget* ShareDialog::BuildResultPage() {
    auto* page = new QWidget;
    auto* intro = new QLabel(QStringLiteral("The folder is shared at:"));
    address_.emplace(QStringLiteral("Share"), QStringLiteral("the folder"));
    QFont bigger = address_->Url()->font();
    bigger.setBold(true);
    address_->Url()->setFont(bigger);
    note_ = Named<QLabel>(QStringLiteral("ShareNote"));
    note_->setWordWrap(true);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(intro);
    layout->addLayout(address_->Row());
    layout->addWidget(address_->Code());
    layout->addWidget(note_);
    layout->addStretch();
    layout->addWidget(close);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::accept);
    return page;
}

void ShareDialog::ShowUsers(const QString& ticked) {
    std::vector<QString> wasTicked;
    for (QCheckBox* box : users_) {
        if (box->isChecked()) {
            wasTicked.push_back(box->text());
        }
        delete box;
    }
    users_.clear();
    for (const std::string& name : share_.Users()) {
        const QString text = FromStd(name);
        auto* box = Named<QCheckBox>(QStringLiteral("ShareUser:") + text, text);
        box->setChecked(text == ticked ||
                        std::find(wasTicked.begin(), wasTicked.end(), text) != wasTicked.end());
        // Ticking a user chooses "only these users".
        connect(box, &QCheckBox::toggled, this, [this](bool on) {
            if (on) {
                chosen_->setChecked(true);
            }
        });
        userBoxes_->addWidget(box);
        users_.push_back(box);
    }
}

void ShareDialog::SetFolder(const QString& folder) {
    folder_->setText(folder);
    if (!folder.isEmpty()) {
        name_->setText(FromStd(share_.SuggestName(folder.toStdString())));
    }
}

void ShareDialog::ChooseFolder() {
    if (const std::optional<QString> chosen =
            setup_.pickers.ChooseFolder(this, QStringLiteral("Folder to Share"), folder_->text())) {
        SetFolder(*chosen);
    }
}

void ShareDialog::AddUser() {
    const std::optional<NewUser> user = setup_.askUser(this);
    if (!user) {
        return;
    }
    const std::string problem =
        share_.AddUser(user->name.toStdString(), user->password.toStdString());
    if (!problem.empty()) {
        setup_.messages.Warning(FromStd(problem), QStringLiteral("Add User"));
        return;
    }
    ShowUsers(user->name);
    chosen_->setChecked(true);
}

void ShareDialog::Share() {
    ShareChoice choice{.folder = folder_->text().toStdString(),
                       .name = name_->text().trimmed().toStdString(),
                       .uploads = uploads_->isChecked(),
                       .changes = changes_->isChecked()};
    if (chosen_->isChecked()) {
        for (QCheckBox* box : users_) {
            if (box->isChecked()) {
                choice.users.push_back(box->text().toStdString());
            }
        }
        if (choice.users.empty()) {
            setup_.messages.Warning(
                QStringLiteral("Tick the users who may open the folder, or choose \"Anyone\"."),
                kTitle);
            return;
        }
    }
    config::VirtualDirectory shared;
    const ShareOutcome outcome = share_.Share(choice, shared);
    if (outcome != ShareOutcome::kShared) {
        setup_.messages.Warning(FromStd(ShareOutcomeText(outcome)), kTitle);
        return;
    }
    ShowPublication(setup_.publish(choice.name), choice);
}

void ShareDialog::ShowPublication(const Publication& where, const ShareChoice& choice) {
    address_->Show(where.url);
    QString note;
    if (!choice.users.empty()) {
        QStringList names;
        for (const std::string& user : choice.users) {
            names << FromStd(user);
        }
        note = QStringLiteral("Visitors sign in as %1.").arg(names.join(QStringLiteral(", ")));
    }
    if (!where.serving) {
        note += QStringLiteral(" Quorvane is not serving: the folder opens once it runs.");
    }
    note_->setText(note.trimmed());
    note_->setVisible(!note.isEmpty());
    pages_->setCurrentIndex(1);
}

}  // namespace quorvane::ui
