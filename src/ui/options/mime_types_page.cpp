#include "ui/options/mime_types_page.h"

#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/options/entry_dialogs.h"
#include "ui/options/list_page.h"
#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

MimeTypesPage::MimeTypesPage(const OptionsSetup& setup, MimeEditor& mimeTypes)
    : setup_(setup), mimeTypes_(mimeTypes) {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label9", QStringLiteral("Enter here the additional MIME types you would like to "
                                      "make Quorvane aware about.  There is a default set "
                                      "supplied with Quorvane, but you can add to the list as "
                                      "and when required.")));
    list_ = Named<QListWidget>("MimeList");
    layout->addWidget(list_);
    auto* add = Button("Command13", QStringLiteral("&Add..."));
    auto* edit = Button("EditMime", QStringLiteral("&Edit..."));
    auto* remove = Button("Command14", QStringLiteral("&Remove"));
    layout->addLayout(Row({add, edit, remove}));
    const auto runDialog = [this](std::optional<size_t> editing) {
        MimeDialog dialog(mimeTypes_, setup_.messages, editing, this);
        setup_.exec(dialog);
    };
    auto* page = new ListPage(
        list_, add, remove, setup_.messages,
        {.fill = [this] { Fill(); },
         .add = [runDialog] { runDialog(std::nullopt); },
         .remove = [this](std::optional<size_t> row) { return mimeTypes_.Remove(row); },
         .question = QStringLiteral("Are you sure you want to remove that MIME Header?"),
         .title = QStringLiteral("Remove MIME Type")},
        this);
    page->SetEdit(edit, runDialog);
    SetContent(QStringLiteral("MIME Types"), layout);
    Fill();
}

void MimeTypesPage::Fill() {
    list_->clear();
    for (const config::Record& record : mimeTypes_.Rows()) {
        list_->addItem(Q(record[0]));
    }
}

}  // namespace quorvane::ui
