#include "ui/options/user_authentication_page.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/text.h"
#include "ui/options/entry_dialogs.h"
#include "ui/options/list_page.h"
#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

namespace {

const QString kTitle = QStringLiteral("User Authentication");

}  // namespace

UserAuthenticationPage::UserAuthenticationPage(const OptionsSetup& setup, ListEditors& lists)
    : setup_(setup), users_(lists.users), directories_(lists.directories) {
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
    list_ = Named<QListWidget>("UserList");
    layout->addWidget(list_);
    start_ = Button("Command10", QStringLiteral("&Add User..."));
    edit_ = Button("EditUser", QStringLiteral("&Edit User..."));
    remove_ = Button("Command12", QStringLiteral("&Remove User"));
    protect_ = Button("ProtectPasswords", QStringLiteral("&Protect stored passwords"));
    connect(protect_, &QPushButton::clicked, this, &UserAuthenticationPage::ProtectPasswords);
    layout->addLayout(Row({start_, edit_, remove_, protect_}));
    layout->addWidget(EntryFrame());
    WireList();
    SetContent(kTitle, layout);
    Fill();
    entry_->setEnabled(false);
    SetEntry(false);
}

QWidget* UserAuthenticationPage::EntryFrame() {
    entry_ = Named<QGroupBox>("Frame3", QStringLiteral("New User Details"));
    auto* form = new QFormLayout(entry_);
    name_ = Named<QLineEdit>("Username");
    password_ = Named<QLineEdit>("Password");
    password_->setEchoMode(QLineEdit::Password);
    form->addRow(Text("Label13", QStringLiteral("Username:")), name_);
    form->addRow(Text("Label18", QStringLiteral("Password:")), password_);
    add_ = Button("Command17", QStringLiteral("Add"));
    finish_ = Button("Command19", QStringLiteral("Finish"));
    form->addRow(Row({add_, finish_}, true));
    connect(add_, &QPushButton::clicked, this, &UserAuthenticationPage::AddUser);
    connect(finish_, &QPushButton::clicked, this, &UserAuthenticationPage::FinishEntry);
    // Enter in either box adds the account, as the Add button does.
    connect(name_, &QLineEdit::returnPressed, add_, &QPushButton::click);
    connect(password_, &QLineEdit::returnPressed, add_, &QPushButton::click);
    return entry_;
}

void UserAuthenticationPage::WireList() {
    connect(start_, &QPushButton::clicked, this, [this] { StartEntry(std::nullopt); });
    auto* page = new ListPage(
        list_, nullptr, remove_, setup_.messages,
        {.fill = [this] { Fill(); },
         .remove = [this](std::optional<size_t> row) { return users_.Remove(row); },
         .question = QStringLiteral("Are you sure you want to delete this user?"),
         .title = kTitle,
         .refuse = [this](size_t row) -> std::optional<ListPage::Refusal> {
             if (config::EqualsIgnoringCase(users_.Rows()[row][0], "ADMIN")) {
                 return ListPage::Refusal{
                     QStringLiteral("You cannot delete the Administrator user."), kTitle};
             }
             return std::nullopt;
         }},
        this);
    page->SetEdit(edit_, [this](size_t row) { StartEntry(row); });
}

void UserAuthenticationPage::SetEntry(bool entering) {
    for (QWidget* control : {static_cast<QWidget*>(name_), static_cast<QWidget*>(password_),
                             static_cast<QWidget*>(add_), static_cast<QWidget*>(finish_)}) {
        control->setEnabled(entering);
    }
    start_->setEnabled(!entering);
    edit_->setEnabled(!entering);
    remove_->setEnabled(!entering);
    protect_->setEnabled(!entering && users_.HasPasswordsInClear());
}

void UserAuthenticationPage::SetEditing(std::optional<size_t> editing) {
    editing_ = editing;
    entry_->setTitle(editing_ ? QStringLiteral("Change User Details")
                              : QStringLiteral("New User Details"));
    add_->setText(editing_ ? QStringLiteral("Change") : QStringLiteral("Add"));
    // A stored password cannot be shown (a hash reads back as nothing).
    password_->setPlaceholderText(editing_ ? QStringLiteral("unchanged when left empty")
                                           : QString());
}

void UserAuthenticationPage::StartEntry(std::optional<size_t> editing) {
    SetEditing(editing);
    if (editing_) {
        name_->setText(Q(users_.Rows()[*editing_][0]));
        password_->clear();
    }
    entry_->setEnabled(true);
    SetEntry(true);
    name_->setFocus();
}

void UserAuthenticationPage::FinishEntry() {
    SetEditing(std::nullopt);
    name_->clear();
    password_->clear();
    SetEntry(false);
    start_->setFocus();
}

Edit UserAuthenticationPage::Put(const std::string& name, const std::string& password) {
    if (!editing_) {
        return users_.Add(name, password);
    }
    const std::string before = users_.Rows()[*editing_][0];
    const Edit result = users_.Change(*editing_, name, password);
    if (result == Edit::kDone && before != name) {
        directories_.RenameUser(before, name);
    }
    return result;
}

void UserAuthenticationPage::AddUser() {
    const Edit result = Put(S(name_->text()), S(password_->text()));
    switch (result) {
        case Edit::kNameMissing:
            setup_.messages.Warning(QStringLiteral("You must supply a Username."), kTitle);
            name_->setFocus();
            return;
        case Edit::kPasswordMissing:
            setup_.messages.Warning(QStringLiteral("You must supply a Password."), kTitle);
            password_->setFocus();
            return;
        case Edit::kDuplicate:
            setup_.messages.Warning(
                QStringLiteral("A user with this name already exists. Please choose another "
                               "username."),
                kTitle);
            name_->clear();
            name_->setFocus();
            return;
        case Edit::kAdminRefused:
            setup_.messages.Warning(QStringLiteral("The Administrator user keeps its name."),
                                    kTitle);
            name_->setFocus();
            return;
        default:
            if (!ReportEdit(setup_.messages, result, kTitle)) {
                return;
            }
            Fill();
            if (editing_) {
                FinishEntry();
                return;
            }
            name_->clear();
            password_->clear();
            name_->setFocus();
    }
}

void UserAuthenticationPage::ProtectPasswords() {
    if (setup_.messages.Question(
            QStringLiteral("Replace every password stored in clear with a hash? The passwords "
                           "themselves cannot be read back afterwards."),
            kTitle) &&
        ReportEdit(setup_.messages, users_.ProtectPasswords(), kTitle)) {
        Fill();
    }
}

void UserAuthenticationPage::Fill() {
    list_->clear();
    const QIcon icon = Icon(QStyle::SP_DialogApplyButton);
    for (const config::Record& record : users_.Rows()) {
        new QListWidgetItem(icon, Q(record[0]), list_);
    }
    protect_->setEnabled(start_->isEnabled() && users_.HasPasswordsInClear());
}

}  // namespace quorvane::ui
