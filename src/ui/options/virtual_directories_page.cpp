#include "ui/options/virtual_directories_page.h"

#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "config/list_records.h"
#include "ui/options/entry_dialogs.h"
#include "ui/options/list_page.h"
#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

VirtualDirectoriesPage::VirtualDirectoriesPage(const OptionsSetup& setup,
                                               VirtualDirectoryEditor& directories)
    : setup_(setup), directories_(directories) {
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
    auto* remove = Button("Command3", QStringLiteral("&Remove"));
    layout->addLayout(Row({add, remove}));
    new ListPage(
        list_, add, remove, setup_.messages,
        {.fill = [this] { Fill(); },
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
    SetContent(QStringLiteral("Virtual Directories"), layout);
    Fill();
}

void VirtualDirectoriesPage::Fill() {
    list_->clear();
    for (const config::Record& record : directories_.Rows()) {
        QStringList columns;
        for (const std::string& field : record) {
            columns << Q(field);
        }
        auto* row = new QTreeWidgetItem(list_, columns);
        row->setIcon(
            0, Icon(config::IsYes(record[2]) ? QStyle::SP_DialogApplyButton : QStyle::SP_DirIcon));
    }
}

}  // namespace quorvane::ui
