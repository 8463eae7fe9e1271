#include "ui/options/custom_errors_page.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

CustomErrorsPage::CustomErrorsPage(const OptionsSetup& setup) : setup_(setup) {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label12", QStringLiteral("You can set Quorvane2000 to use your own custom error "
                                       "pages. All you need to do is simply press the Edit "
                                       "Properties button and then browse for your desired "
                                       "page.  ")));
    list_ = Named<QTreeWidget>("ErrorList");
    list_->setHeaderLabels({QStringLiteral("HTTP Error"), QStringLiteral("File Name")});
    list_->setRootIsDecorated(false);
    layout->addWidget(list_);
    auto* location = Text("ErrorLocation", QStringLiteral("Location"));
    location->setToolTip(QStringLiteral("Click To Open To Location In Explorer"));
    auto* edit = Button("Command15", QStringLiteral("&Edit Properties..."));
    layout->addLayout(Row({location, edit}, true));
    connect(edit, &QPushButton::clicked, this, &CustomErrorsPage::ChooseFile);
    SetContent(QStringLiteral("Custom Errors"), layout);
}

void CustomErrorsPage::ChooseFile() {
    QTreeWidgetItem* row = list_->currentItem();
    if (row == nullptr || !row->isSelected()) {
        return;
    }
    const QString initial = Q(setup_.folder.Resolve(S(row->text(1))).string());
    if (const auto file = setup_.pickers.ChooseFile(
            this, initial, QStringLiteral("All Files (*);;HTML Files(*.htm);;HTML Files(*.html)"),
            QStringLiteral("HTML Files(*.htm)"))) {
        row->setText(1, *file);
    }
}

void CustomErrorsPage::Show(const OptionsValues& values) {
    list_->clear();
    for (const auto& [code, file] : values.errorPages) {
        auto* row = new QTreeWidgetItem(list_, {Q(code), Q(file)});
        row->setIcon(0, Icon(QStyle::SP_FileIcon));
    }
}

void CustomErrorsPage::Collect(OptionsValues& values) const {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list_->topLevelItem(i);
        values.errorPages.push_back({S(row->text(0)), S(row->text(1))});
    }
}

}  // namespace quorvane::ui
