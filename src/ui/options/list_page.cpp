#include "ui/options/list_page.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPushButton>

#include "ui/options/entry_dialogs.h"

namespace quorvane::ui {

ListPage::ListPage(QAbstractItemView* view, QPushButton* add, QPushButton* remove,
                   MessageBoxes& messages, Actions actions, QObject* parent)
    : QObject(parent),
      view_(view),
      remove_(remove),
      messages_(messages),
      actions_(std::move(actions)) {
    if (add != nullptr) {
        connect(add, &QPushButton::clicked, this, [this] {
            actions_.add();
            actions_.fill();
        });
    }
    connect(remove_, &QPushButton::clicked, this, &ListPage::Remove);
    view_->installEventFilter(this);
}

std::optional<size_t> ListPage::SelectedRow() const {
    const QModelIndex current = view_->currentIndex();
    if (!current.isValid() ||
        !view_->selectionModel()->isRowSelected(current.row(), current.parent())) {
        return std::nullopt;
    }
    return static_cast<size_t>(current.row());
}

void ListPage::SetEdit(QPushButton* button, std::function<void(size_t row)> edit) {
    edit_ = std::move(edit);
    connect(button, &QPushButton::clicked, this, &ListPage::EditSelected);
    connect(view_, &QAbstractItemView::doubleClicked, this, [this, button](const QModelIndex&) {
        if (button->isEnabled()) {
            EditSelected();
        }
    });
}

void ListPage::EditSelected() {
    if (const std::optional<size_t> row = SelectedRow()) {
        edit_(*row);
        actions_.fill();
    }
}

void ListPage::Remove() {
    const std::optional<size_t> row = SelectedRow();
    if (!actions_.askFirst) {
        if (!row) {
            return;
        }
        if (actions_.refuse) {
            if (const std::optional<Refusal> refusal = actions_.refuse(*row)) {
                messages_.Warning(refusal->text, refusal->title);
                return;
            }
        }
    }
    if (!messages_.Question(actions_.question, actions_.title)) {
        return;
    }
    ReportEdit(messages_, actions_.remove(row), actions_.title);
    actions_.fill();
}

bool ListPage::eventFilter(QObject* watched, QEvent* event) {
    // The Delete key is the Remove button, question included; a list whose
    // button is switched off takes no removal either.
    if (watched == view_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        if (remove_->isEnabled()) {
            Remove();
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace quorvane::ui
