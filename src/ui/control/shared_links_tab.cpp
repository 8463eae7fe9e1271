#include "ui/control/shared_links_tab.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "config/list_records.h"

namespace quorvane::ui {

namespace {

const QString kRevokeTitle = QStringLiteral("Revoke Link");

template <typename Widget, typename... Args>
Widget* Named(const char* name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

SharedLinksTab::SharedLinksTab(Setup setup, QWidget* parent)
    : QWidget(parent), setup_(std::move(setup)) {
    table_ = Named<QTableWidget>("SharedLinksTable", 0, 4);
    table_->setHorizontalHeaderLabels({QStringLiteral("Path"), QStringLiteral("Expires"),
                                       QStringLiteral("Downloads"), QStringLiteral("Note")});
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    problem_ = Named<QLabel>("SharedLinksProblem");
    problem_->hide();
    notice_ = Named<QLabel>("SharedLinkNotice");
    notice_->setWordWrap(true);
    revoke_ = Named<QPushButton>("SharedLinkRevoke", QStringLiteral("Re&voke..."));
    share_ = Named<QPushButton>("SharedLinkShare", QStringLiteral("Shar&e..."));
    share_->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(revoke_);
    buttons->addStretch();
    buttons->addWidget(share_);
    auto* chosen = new QVBoxLayout;
    chosen->addLayout(address_.Row());
    chosen->addWidget(notice_);
    chosen->addStretch();
    chosen->addLayout(buttons);
    auto* below = new QHBoxLayout;
    below->addLayout(chosen, 1);
    below->addWidget(address_.Code());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(problem_);
    layout->addWidget(table_, 1);
    layout->addLayout(below);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &SharedLinksTab::ShowChosen);
    connect(revoke_, &QPushButton::clicked, this, &SharedLinksTab::Revoke);
    connect(share_, &QPushButton::clicked, this, &SharedLinksTab::OpenShareDialog);
    ShowChosen();
}

void SharedLinksTab::SetPickers(FilePickers& pickers) {
    pickers_ = &pickers;
    share_->setEnabled(true);
}

void SharedLinksTab::OpenShareDialog() {
    if (pickers_ == nullptr) {
        return;
    }
    if (dialog_ == nullptr) {
        dialog_ =
            new ShareLinkDialog({setup_.folder, setup_.messages, *pickers_,
                                 [this](const responses::MadeShare& made) { return Made(made); }},
                                this);
        dialog_->setAttribute(Qt::WA_DeleteOnClose);
    }
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

Publication SharedLinksTab::Made(const responses::MadeShare& made) {
    view_.Remember(made.token);
    const bool serving = setup_.serve();
    Refresh();
    const auto row = std::find_if(rows_.begin(), rows_.end(), [&](const ShareLinkRow& each) {
        return each.id == made.link.tokenHash;
    });
    if (row != rows_.end()) {
        table_->selectRow(static_cast<int>(row - rows_.begin()));
    }
    return {FromStd(ShareLinkUrl(setup_.siteUrl(), made.token)), serving};
}

void SharedLinksTab::Refresh() {
    const std::filesystem::path file = setup_.folder.ListFilePath(config::kSharesList);
    const std::optional<config::ShareLinks> links = config::SharesFile(file).Read();
    problem_->setText(FromStd(file.string() + " cannot be read."));
    problem_->setVisible(!links);
    std::vector<ShareLinkRow> rows =
        view_.Rows(links.value_or(config::ShareLinks{}), setup_.siteUrl(), config::Clock::now());
    if (rows != rows_) {
        rows_ = std::move(rows);
        ShowRows();
    }
}

void SharedLinksTab::ShowRows() {
    const int chosen = table_->currentRow();
    const std::string chosenId =
        chosen >= 0 && table_->item(chosen, 0) != nullptr
            ? table_->item(chosen, 0)->data(Qt::UserRole).toString().toStdString()
            : std::string();
    const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
    table_->setRowCount(static_cast<int>(rows_.size()));
    for (size_t at = 0; at < rows_.size(); ++at) {
        const ShareLinkRow& row = rows_[at];
        const int line = static_cast<int>(at);
        int column = 0;
        for (const std::string* text : {&row.path, &row.expiry, &row.downloads, &row.note}) {
            auto* item = new QTableWidgetItem(FromStd(*text));
            if (row.state != ShareLinkRow::State::kActive) {
                item->setForeground(grey);
            }
            table_->setItem(line, column++, item);
        }
        table_->item(line, 0)->setData(Qt::UserRole, FromStd(row.id));
        if (row.id == chosenId) {
            table_->selectRow(line);
        }
    }
    ShowChosen();
}

void SharedLinksTab::ShowChosen() {
    const int line = table_->currentRow();
    const bool any = line >= 0 && static_cast<size_t>(line) < rows_.size() &&
                     table_->selectionModel()->isRowSelected(line);
    const ShareLinkRow row = any ? rows_[static_cast<size_t>(line)] : ShareLinkRow{};
    address_.Show(FromStd(row.url));
    notice_->setText(any ? FromStd(row.notice)
                         : QStringLiteral("Choose a link to show or revoke it, or make one "
                                          "with Share..."));
    notice_->setVisible(!notice_->text().isEmpty());
    revoke_->setEnabled(any);
}

void SharedLinksTab::Revoke() {
    const int line = table_->currentRow();
    if (line < 0 || static_cast<size_t>(line) >= rows_.size()) {
        return;
    }
    const ShareLinkRow row = rows_[static_cast<size_t>(line)];
    if (!setup_.messages.Question(
            QStringLiteral("The link to %1 will open nothing any more, for anyone who has it. "
                           "Revoke it?")
                .arg(FromStd(row.path)),
            kRevokeTitle)) {
        return;
    }
    using Revoked = config::SharesFile::Revoked;
    const Revoked revoked =
        config::SharesFile(setup_.folder.ListFilePath(config::kSharesList)).Revoke(row.id);
    if (revoked != Revoked::kDone && revoked != Revoked::kUnknown) {
        setup_.messages.Warning(
            QStringLiteral("The link could not be revoked: shares.lst cannot be changed."),
            kRevokeTitle);
    }
    Refresh();
}

}  // namespace quorvane::ui
