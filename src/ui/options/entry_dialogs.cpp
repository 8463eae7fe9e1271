#include "ui/options/entry_dialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/options/address_entry.h"
#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

namespace {

// Enter anywhere in the dialog is its confirming button.
QHBoxLayout* ButtonRow(QPushButton* ok, QPushButton* cancel) {
    ok->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

}  // namespace

bool ReportEdit(MessageBoxes& messages, Edit result, const QString& title) {
    switch (result) {
        case Edit::kDone:
            return true;
        case Edit::kUnstorable:
            messages.Warning(
                QStringLiteral(
                    "This entry cannot contain a double quotation mark or a line break."),
                title);
            return false;
        case Edit::kNotHashed:
            messages.Warning(QStringLiteral("The password could not be stored as a hash."), title);
            return false;
        default:
            return false;
    }
}

AddDirectoryDialog::AddDirectoryDialog(VirtualDirectoryEditor& editor, const UserEditor& users,
                                       MessageBoxes& messages, FilePickers& pickers,
                                       std::optional<size_t> editing, QWidget* parent)
    : QDialog(parent), editor_(editor), messages_(messages), editing_(editing) {
    setObjectName(QStringLiteral("frmAddDirectory"));
    setWindowTitle(editing_ ? QStringLiteral("Edit Virtual Directory")
                            : QStringLiteral("Add Virtual Directory"));
    const config::VirtualDirectory shown =
        editing_ ? editor_.At(*editing_) : config::VirtualDirectory{};
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text("Label1",
                           QStringLiteral("Please type in the name of the Virtual Directory and "
                                          "then browse to find the location that the Virtual "
                                          "Directory points to."),
                           this));
    auto* form = new QFormLayout;
    name_ = Named<QLineEdit>("VDirName", this);
    form->addRow(Text("Label2", QStringLiteral("Virtual Directory"), this), name_);
    location_ = Named<QLineEdit>("Physical", this);
    auto* browse = Button("Command1", QStringLiteral("Browse..."), this);
    browse->setToolTip(QStringLiteral("Browse Drive(s)"));
    auto* locationRow = new QHBoxLayout;
    locationRow->addWidget(location_);
    locationRow->addWidget(browse);
    form->addRow(Text("Label3", QStringLiteral("Location"), this), locationRow);
    layout->addLayout(form);

    auto* attributes = new QGroupBox(QStringLiteral("Directory Attributes"), this);
    attributes->setObjectName(QStringLiteral("Frame1"));
    auto* attributeLayout = new QVBoxLayout(attributes);
    secure_ = new QCheckBox(
        QStringLiteral("Secure This Virtual Directory (User Authentication required)."),
        attributes);
    secure_->setObjectName(QStringLiteral("SecureDir"));
    rights_ = WithWriteBoxes(
        Named<QCheckBox>("ScriptAllowed",
                         QStringLiteral("Allow Scripting Access (PERL Script Execution)"),
                         attributes),
        Named<QCheckBox>("EXEAllowed",
                         QStringLiteral("Allow EXE Files to be CGI Scripts (EXE File Execution)"),
                         attributes),
        attributes);
    attributeLayout->addWidget(secure_);
    attributeLayout->addWidget(UserBoxes(users, shown));
    for (QCheckBox* box : {rights_.scripts, rights_.programs, rights_.uploads, rights_.changes}) {
        attributeLayout->addWidget(box);
    }
    layout->addWidget(attributes);
    Show(shown);
    auto* ok = Button("Command2", QStringLiteral("OK"), this);
    auto* cancel = Button("Command3", QStringLiteral("&Cancel"), this);
    layout->addLayout(ButtonRow(ok, cancel));

    connect(browse, &QPushButton::clicked, this, [this, &pickers] {
        const QString start = location_->text().isEmpty() ? QDir::currentPath() : location_->text();
        if (const auto folder =
                pickers.ChooseFolder(this, QStringLiteral("Select Virtual Directory"), start)) {
            location_->setText(*folder);
        }
    });
    connect(ok, &QPushButton::clicked, this, &AddDirectoryDialog::Ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* AddDirectoryDialog::UserBoxes(const UserEditor& users,
                                       const config::VirtualDirectory& shown) {
    auto* frame = Named<QGroupBox>("AllowedUsers", QStringLiteral("Users who may enter"), this);
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(
        Text("AllowedUsersNote", QStringLiteral("With none ticked, every user may enter."), frame));
    // A name the folder lists that users.lst no longer holds stays listed, so
    // that unticking nothing never opens the folder to every user.
    std::vector<std::string> names;
    for (const config::Record& user : users.Rows()) {
        names.push_back(user[0]);
    }
    for (const std::string& name : shown.users) {
        names.push_back(name);
    }
    for (const std::string& name : names) {
        if (std::any_of(users_.begin(), users_.end(),
                        [&](const auto& listed) { return listed.second == name; })) {
            continue;
        }
        auto* box = Named<QCheckBox>("AllowedUser", Q(name), frame);
        layout->addWidget(box);
        users_.emplace_back(box, name);
    }
    frame->setEnabled(false);
    connect(secure_, &QCheckBox::toggled, frame, &QWidget::setEnabled);
    return frame;
}

void AddDirectoryDialog::Show(const config::VirtualDirectory& directory) {
    name_->setText(Q(directory.name));
    location_->setText(Q(directory.folder));
    secure_->setChecked(directory.secure);
    rights_.scripts->setChecked(directory.scripts);
    rights_.programs->setChecked(directory.programs);
    rights_.uploads->setChecked(directory.uploads);
    rights_.changes->setChecked(directory.changes);
    ShowWriteBoxes(rights_);
    for (const auto& [box, name] : users_) {
        box->setChecked(std::find(directory.users.begin(), directory.users.end(), name) !=
                        directory.users.end());
    }
}

std::vector<std::string> AddDirectoryDialog::TickedUsers() const {
    std::vector<std::string> ticked;
    for (const auto& [box, name] : users_) {
        if (box->isChecked()) {
            ticked.push_back(name);
        }
    }
    return ticked;
}

void AddDirectoryDialog::Ok() {
    const config::VirtualDirectory directory{.name = S(name_->text()),
                                             .folder = S(location_->text()),
                                             .secure = secure_->isChecked(),
                                             .scripts = rights_.scripts->isChecked(),
                                             .programs = rights_.programs->isChecked(),
                                             .uploads = rights_.uploads->isChecked(),
                                             .changes = rights_.changes->isChecked(),
                                             .users = TickedUsers()};
    const Edit result = editing_ ? editor_.Change(*editing_, directory) : editor_.Add(directory);
    const QString create = QStringLiteral("Create Virtual Directory");
    switch (result) {
        case Edit::kNameMissing:
            messages_.Warning(QStringLiteral("You must give a name to the Virtual Directory."),
                              create);
            name_->setFocus();
            return;
        case Edit::kLocationMissing:
            messages_.Warning(
                QStringLiteral("You must select a real location for the Virtual Directory."),
                create);
            location_->setFocus();
            return;
        case Edit::kDuplicate:
            messages_.Warning(QStringLiteral("A Virtual Directory with this name already exists."),
                              windowTitle());
            name_->clear();
            name_->setFocus();
            return;
        default:
            if (ReportEdit(messages_, result, windowTitle())) {
                accept();
            }
    }
}

AddressDialog::AddressDialog(AddressEditor& editor, MessageBoxes& messages, bool withDots,
                             std::optional<size_t> editing, QWidget* parent)
    : QDialog(parent), editor_(editor), messages_(messages), editing_(editing) {
    setObjectName(withDots ? QStringLiteral("frmEnterIPAddress") : QStringLiteral("frmBarCGI"));
    setWindowTitle(QStringLiteral("Enter IP Address"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        octets_[i] = Named<QLineEdit>(("Octet" + std::to_string(i + 1)).c_str(), this);
        // No length limit on the box itself: a pasted whole address must
        // arrive whole, to be spread over the four boxes.
        octets_[i]->setMaximumWidth(48);
        connect(octets_[i], &QLineEdit::textEdited, this,
                [this, i](const QString& text) { Distribute(i, text); });
        if (i > 0 && withDots) {
            auto* dot = new QLabel(QStringLiteral("<b>.</b>"), this);
            row->addWidget(dot);
        }
        row->addWidget(octets_[i]);
    }
    layout->addLayout(row);
    if (editing_) {
        if (const auto parts = AddressEditor::PartsOf(editor_.Rows().at(*editing_)[0])) {
            for (int i = 0; i < 4; ++i) {
                octets_[i]->setText(Q((*parts)[i]));
            }
        }
    }
    auto* ok = Button("Command1", QStringLiteral("OK"), this);
    auto* cancel = Button("Command2", QStringLiteral("&Cancel"), this);
    layout->addLayout(ButtonRow(ok, cancel));
    connect(ok, &QPushButton::clicked, this, &AddressDialog::Ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void AddressDialog::Distribute(int edited, const QString& text) {
    AddressBoxes boxes;
    for (int i = 0; i < 4; ++i) {
        boxes.parts[i] = S(octets_[i]->text());
    }
    boxes = DistributeAddressInput(boxes, edited, text.toStdString());
    for (int i = 0; i < 4; ++i) {
        const QString part = QString::fromStdString(boxes.parts[i]);
        if (octets_[i]->text() != part) {
            octets_[i]->setText(part);
        }
    }
    if (boxes.focus != edited) {
        octets_[boxes.focus]->setFocus();
        octets_[boxes.focus]->selectAll();
    }
}

void AddressDialog::Ok() {
    const std::array<std::string, 4> parts = {S(octets_[0]->text()), S(octets_[1]->text()),
                                              S(octets_[2]->text()), S(octets_[3]->text())};
    Edit result = Put(parts, false);
    if (result == Edit::kOwnAddress) {
        const QString address = QStringLiteral("%1.%2.%3.%4")
                                    .arg(octets_[0]->text().toUInt())
                                    .arg(octets_[1]->text().toUInt())
                                    .arg(octets_[2]->text().toUInt())
                                    .arg(octets_[3]->text().toUInt());
        if (!messages_.Question(
                QStringLiteral("%1 is an address of this computer. Blocking it also refuses "
                               "this computer's own browser. Block it anyway?")
                    .arg(address),
                windowTitle())) {
            octets_[0]->setFocus();
            return;
        }
        result = Put(parts, true);
    }
    const QString title = QStringLiteral("Quorvane2000");
    if (result == Edit::kDuplicate || result == Edit::kBadAddressPart) {
        messages_.Warning(
            result == Edit::kDuplicate
                ? QStringLiteral("The IP Address you have entered, is already in the list.")
                : QStringLiteral("Each part of the IP Address must be a number from 0 to 255."),
            title);
        if (result == Edit::kDuplicate) {
            for (QLineEdit* octet : octets_) {
                octet->clear();
            }
        }
        octets_[0]->setFocus();
        return;
    }
    if (ReportEdit(messages_, result, title)) {
        accept();
    }
}

Edit AddressDialog::Put(const std::array<std::string, 4>& parts, bool confirmed) {
    return editing_ ? editor_.Change(*editing_, parts, confirmed) : editor_.Add(parts, confirmed);
}

DocumentDialog::DocumentDialog(DocumentEditor& editor, MessageBoxes& messages, QWidget* parent)
    : QDialog(parent), editor_(editor), messages_(messages) {
    setObjectName(QStringLiteral("frmDocumentAdd"));
    setWindowTitle(QStringLiteral("Add Default Document"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text("Label1", QStringLiteral("Document Name"), this));
    name_ = Named<QLineEdit>("Document", this);
    layout->addWidget(name_);
    auto* add = Button("Command1", QStringLiteral("&Add"), this);
    auto* close = Button("Command2", QStringLiteral("&Close"), this);
    layout->addLayout(ButtonRow(add, close));
    connect(add, &QPushButton::clicked, this, &DocumentDialog::Add);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void DocumentDialog::Add() {
    const Edit result = editor_.Add(S(name_->text()));
    if (result == Edit::kNameMissing || result == Edit::kDuplicate) {
        messages_.Warning(
            result == Edit::kNameMissing
                ? QStringLiteral(
                      "You must give a document name before it can be added to the list.")
                : QStringLiteral("This document name is already in the list."),
            QStringLiteral("Document Name Error"));
        name_->setFocus();
        return;
    }
    if (ReportEdit(messages_, result, QStringLiteral("Document Name Error"))) {
        accept();
    }
}

MimeDialog::MimeDialog(MimeEditor& editor, MessageBoxes& messages, std::optional<size_t> editing,
                       QWidget* parent)
    : QDialog(parent), editor_(editor), messages_(messages), editing_(editing) {
    setObjectName(QStringLiteral("frmAddMIME"));
    setWindowTitle(editing_ ? QStringLiteral("Edit MIME Type") : QStringLiteral("Add MIME Type"));
    setModal(true);
    auto* layout = new QFormLayout(this);
    extension_ = Named<QLineEdit>("FileExt", this);
    type_ = Named<QLineEdit>("MIMEHeader", this);
    layout->addRow(Text("Label1", QStringLiteral("File Extension (eg JPG):"), this), extension_);
    layout->addRow(Text("Label2", QStringLiteral("Content Type (eg image/jpeg):"), this), type_);
    if (editing_) {
        const auto [extension, type] = MimeEditor::Parts(editor_.Rows().at(*editing_));
        extension_->setText(Q(extension));
        type_->setText(Q(type));
    }
    auto* ok = Button("Command1", QStringLiteral("&OK"), this);
    auto* cancel = Button("Command2", QStringLiteral("&Cancel"), this);
    layout->addRow(ButtonRow(ok, cancel));
    connect(ok, &QPushButton::clicked, this, &MimeDialog::Ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void MimeDialog::Ok() {
    const std::string extension = S(extension_->text());
    const std::string type = S(type_->text());
    const Edit result =
        editing_ ? editor_.Change(*editing_, extension, type) : editor_.Add(extension, type);
    if (result == Edit::kPartMissing) {
        messages_.Warning(QStringLiteral("You must supply a file extension AND a MIME Header."),
                          QStringLiteral("Quorvane"));
        return;
    }
    if (result == Edit::kDuplicate) {
        messages_.Warning(QStringLiteral("A MIME type for this file extension is already in the "
                                         "list."),
                          QStringLiteral("Quorvane"));
        extension_->setFocus();
        return;
    }
    if (ReportEdit(messages_, result, QStringLiteral("Quorvane"))) {
        extension_->clear();
        type_->clear();
        extension_->setFocus();
        accept();
    }
}

}  // namespace quorvane::ui
