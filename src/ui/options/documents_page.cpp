#include "ui/options/documents_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/options/entry_dialogs.h"
#include "ui/options/list_page.h"
#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

DocumentsPage::DocumentsPage(const OptionsSetup& setup, DocumentEditor& documents)
    : setup_(setup), documents_(documents) {
    auto* layout = new QVBoxLayout;
    directoryBrowsing_ =
        Named<QCheckBox>("DirectoryBrowsing",
                         QStringLiteral("Enable Directory Browsing If Default Document Not Found"));
    layout->addWidget(directoryBrowsing_);
    listingStyle_ = Named<QComboBox>("ListingStyle");
    listingStyle_->addItem(QStringLiteral("Classic: a plain table"));
    listingStyle_->addItem(
        QStringLiteral("Modern: sorting, search, thumbnails, uploads and zip downloads"));
    auto* style = new QHBoxLayout;
    style->addWidget(Text("ListingStyleLabel", QStringLiteral("Folder Page Style")));
    style->addWidget(listingStyle_, 1);
    layout->addLayout(style);
    layout->addWidget(FooterFrame());
    layout->addWidget(DocumentList());
    layout->addWidget(Text("DocDescription",
                           QStringLiteral("Enter here the default document names to search for, "
                                          "if no document name is supplied by the client, "
                                          "Quorvane will search for the documents sequentially, "
                                          "and will use the first document name found, as the "
                                          "default.")));
    SetContent(QStringLiteral("Documents"), layout);
    Fill();
}

QWidget* DocumentsPage::FooterFrame() {
    auto* frame = Named<QGroupBox>("FooterFrame", QStringLiteral("Document Footer"));
    auto* layout = new QVBoxLayout(frame);
    footer_ = Named<QCheckBox>("DocFooter", QStringLiteral("Include Document Footer On Each Page"));
    footerHtml_ = Named<QLineEdit>("FooterHTML");
    layout->addWidget(footer_);
    layout->addWidget(Text("Label6", QStringLiteral("Footer HTML Code")));
    layout->addWidget(footerHtml_);
    connect(footer_, &QCheckBox::clicked, footerHtml_, &QWidget::setEnabled);
    return frame;
}

QWidget* DocumentsPage::DocumentList() {
    auto* frame = Named<QGroupBox>("DocsFrame", QStringLiteral("Default Document List"));
    auto* layout = new QHBoxLayout(frame);
    list_ = Named<QListWidget>("DefaultList");
    auto* up = Button("Command6", QStringLiteral("\u2191"));
    up->setToolTip(QStringLiteral("Move Document UP In List"));
    auto* down = Button("Command7", QStringLiteral("\u2193"));
    down->setToolTip(QStringLiteral("Move Document DOWN In List"));
    auto* add = Button("Command8", QStringLiteral("&Add..."));
    auto* remove = Button("Command9", QStringLiteral("&Remove"));
    auto* side = new QVBoxLayout;
    side->addWidget(Text("Label20", QStringLiteral("Move")));
    side->addWidget(up);
    side->addWidget(down);
    side->addStretch();
    side->addWidget(add);
    side->addWidget(remove);
    layout->addWidget(list_);
    layout->addLayout(side);
    connect(up, &QPushButton::clicked, this, [this] { Move(&DocumentEditor::MoveUp); });
    connect(down, &QPushButton::clicked, this, [this] { Move(&DocumentEditor::MoveDown); });
    new ListPage(
        list_, add, remove, setup_.messages,
        {.fill = [this] { Fill(); },
         .add =
             [this] {
                 DocumentDialog dialog(documents_, setup_.messages, this);
                 setup_.exec(dialog);
                 documents_.WriteAtCommit();
             },
         .remove = [this](std::optional<size_t> row) { return documents_.Remove(row); },
         .question = QStringLiteral("Are you sure you want to remove this Default Document?"),
         .title = QStringLiteral("Quorvane")},
        this);
    return frame;
}

void DocumentsPage::Move(std::optional<size_t> (DocumentEditor::*move)(std::optional<size_t>)) {
    const std::optional<size_t> selected = Selected(list_);
    const std::optional<size_t> moved = (documents_.*move)(selected);
    Fill(moved ? moved : selected);  // an entry that cannot move stays selected
}

void DocumentsPage::Fill(std::optional<size_t> select) {
    list_->clear();
    for (const config::Record& record : documents_.Rows()) {
        list_->addItem(Q(record[0]));
    }
    if (select) {
        list_->setCurrentRow(static_cast<int>(*select));
    }
}

void DocumentsPage::Show(const OptionsValues& values) {
    directoryBrowsing_->setChecked(values.directoryBrowsing);
    listingStyle_->setCurrentIndex(values.modernListing ? 1 : 0);
    footer_->setChecked(values.docFooter);
    footerHtml_->setText(Q(values.footerHtml));
    footerHtml_->setEnabled(values.docFooter);
}

void DocumentsPage::Collect(OptionsValues& values) const {
    values.directoryBrowsing = directoryBrowsing_->isChecked();
    values.modernListing = listingStyle_->currentIndex() == 1;
    values.docFooter = footer_->isChecked();
    values.footerHtml = S(footerHtml_->text());
}

}  // namespace quorvane::ui
