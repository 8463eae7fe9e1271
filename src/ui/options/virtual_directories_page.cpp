#include "ui/options/virtual_directories_page.h"

#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "config/list_records.h"
#include "ui/options/entry_dialogs.h"
#include "ui/options/secure_folders.h"
#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

VirtualDirectoriesPage::VirtualDirectoriesPage(const OptionsSetup& setup, ListEditors& lists)
    : setup_(setup), directories_(lists.directories), users_(lists.users) {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label1", QStringLiteral("This is where you set up any virtual directories you "
                                      "want Quorvane to know about.  The first entry in the "
                                      "list is always /. The / entry is the default location "
                                      "for the website that Quorvane serves. This CANNOT be "
                                      "deleted.")));
    list_ = Named<QTreeWidget>("vdirs");
    list_->setHeaderLabels({QStringLiteral("Virtual Directory"), QStringLiteral("Path "),
                            QStringLiteral("Secure?"), QStringLiteral("Script"),
                            QStringLiteral("EXE"), QStringLiteral("Uploads"),
                            QStringLiteral("Changes")});
    list_->setRootIsDecorated(false);
    layout->addWidget(list_);
    auto* add = Button("Command1", QStringLiteral("&Add..."));
    auto* edit = Button("EditDirectory", QStringLiteral("&Edit..."));
    auto* remove = Button("Command3", QStringLiteral("&Remove"));
    layout->addLayout(Row({add, edit, remove}));
    auto* page = new ListPage(
        list_, add, remove, setup_.messages,
        {.fill = [this] { Fill(); },
         .add = [this] { RunDialog(std::nullopt); },
         .remove = [this](std::optional<size_t> row) { return directories_.Remove(row); },
         .question = QStringLiteral("Are you sure you want to remove this Virtual Directory?"),
         .title = QStringLiteral("Remove Virtual Directory"),
         .refuse =
             [this](size_t row) {
                 return RootRefusal(row,
                                    QStringLiteral("You cannot remove the Default Site Location."));
             }},
        this);
    page->SetEdit(edit, [this](size_t row) {
        if (const auto refusal = RootRefusal(
                row, QStringLiteral("The Default Site Location is set on the Home Directory "
                                    "tab."))) {
            setup_.messages.Warning(refusal->text, refusal->title);
            return;
        }
        RunDialog(row);
    });
    SetContent(QStringLiteral("Virtual Directories"), layout);
    Fill();
}

std::optional<ListPage::Refusal> VirtualDirectoriesPage::RootRefusal(size_t row,
                                                                     const QString& text) const {
    if (directories_.Rows()[row][0] == "/") {
        return ListPage::Refusal{text, QStringLiteral("Virtual Directory Error")};
    }
    return std::nullopt;
}

void VirtualDirectoriesPage::RunDialog(std::optional<size_t> editing) {
    AddDirectoryDialog dialog(directories_, users_, setup_.messages, setup_.pickers, editing, this);
    setup_.exec(dialog);
    directories_.WriteAtCommit();  // after either button, so a missing list appears
}

void VirtualDirectoriesPage::Fill() {
    list_->clear();
    std::vector<config::VirtualDirectory> directories;
    for (size_t row = 0; row < directories_.Rows().size(); ++row) {
        directories.push_back(directories_.At(row));
    }
    const std::vector<std::optional<std::string>> enclosing =
        EnclosingSecureFolders(directories, setup_.folder);
    for (size_t row = 0; row < directories.size(); ++row) {
        const config::Record& record = directories_.Rows()[row];
        // A folder inside a secure one asks for a password as well.
        const QString secure = enclosing[row]
                                   ? QStringLiteral("Yes (inside %1)").arg(Q(*enclosing[row]))
                                   : Q(record[2]);
        auto* item = new QTreeWidgetItem(list_, {Q(record[0]), Q(record[1]), secure, Q(record[3]),
                                                 Q(record[4]), Q(record[5]), Q(record[6])});
        item->setIcon(0,
                      Icon(config::IsYes(record[2]) || enclosing[row] ? QStyle::SP_DialogApplyButton
                                                                      : QStyle::SP_DirIcon));
    }
}

}  // namespace quorvane::ui
