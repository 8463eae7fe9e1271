#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "ui/control/desktop.h"
#include "ui/options/list_editors.h"

class QAbstractItemView;
class QPushButton;

namespace quorvane::ui {

// The Add, Edit and Remove wiring that every list tab shares: Add runs the
// tab's dialog and shows the list again; Edit (the button or a double-click
// on a row) does the same for the selected row; Remove (the button or the
// Delete key) asks the tab's question, removes the selected row through its
// editor and shows the list again.
class ListPage : public QObject {
    Q_OBJECT

  public:
    struct Refusal {
        QString text;
        QString title;
    };
    struct Actions {
        std::function<void()> fill;  // shows the editor's rows
        std::function<void()> add;   // the add dialog and what follows it; none for no button
        std::function<Edit(std::optional<size_t>)> remove;
        QString question;
        QString title;
        // A row that may not go, told before anything is asked.
        std::function<std::optional<Refusal>(size_t row)> refuse;
        // The address lists ask before they look at the selection, so that
        // Yes on an empty list can remove its file.
        bool askFirst = false;
    };

    ListPage(QAbstractItemView* view, QPushButton* add, QPushButton* remove, MessageBoxes& messages,
             Actions actions, QObject* parent);

    // The edit button, and what editing a row does.
    void SetEdit(QPushButton* button, std::function<void(size_t row)> edit);
    void Remove();
    void EditSelected();
    std::optional<size_t> SelectedRow() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QAbstractItemView* view_;
    QPushButton* remove_;
    MessageBoxes& messages_;
    Actions actions_;
    std::function<void(size_t)> edit_;
};

}  // namespace quorvane::ui
