#include "ui/options/security_page.h"

#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "config/program_folder.h"
#include "ui/options/address_list_page.h"
#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

SecurityPage::SecurityPage(const OptionsSetup& setup, AddressEditor& blocked) : blocked_(blocked) {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label2", QStringLiteral("Within this tab, you can set which machines will be "
                                      "blocked from accessing information from Quorvane2000. "
                                      "Any machine with an IP Address which is listed below, "
                                      "will be blocked from accessing resources on "
                                      "Quorvane2000.")));
    layout->addWidget(Text("Label4", QStringLiteral("All computers have access, except:")));
    list_ = Named<QTreeWidget>("IPList");
    list_->setHeaderLabels({QStringLiteral("IP"), QStringLiteral("Status")});
    list_->setRootIsDecorated(false);
    layout->addWidget(list_);
    auto* add = Button("Command4", QStringLiteral("&Add..."));
    auto* edit = Button("EditAddress", QStringLiteral("&Edit..."));
    auto* remove = Button("Command5", QStringLiteral("&Remove"));
    layout->addLayout(Row({add, edit, remove}));
    NewAddressListPage(
        {list_, add, edit, remove}, blocked_, true, setup, [this] { Fill(); }, this);
    SetContent(QStringLiteral("Server Security"), layout);
    Fill();
}

void SecurityPage::Fill() {
    list_->clear();
    for (const config::Record& record : blocked_.Rows()) {
        auto* row = new QTreeWidgetItem(list_, {Q(record[0]), QStringLiteral("Is Denied Access")});
        row->setIcon(0, Icon(QStyle::SP_MessageBoxWarning));
    }
}

}  // namespace quorvane::ui
