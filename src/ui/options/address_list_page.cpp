#include "ui/options/address_list_page.h"

#include "ui/options/entry_dialogs.h"

namespace quorvane::ui {

ListPage* NewAddressListPage(QAbstractItemView* view, QPushButton* add, QPushButton* remove,
                             AddressEditor& editor, bool blockList, const OptionsSetup& setup,
                             std::function<void()> fill, QWidget* page) {
    return new ListPage(
        view, add, remove, setup.messages,
        {.fill = std::move(fill),
         .add =
             [editor = &editor, setup = &setup, blockList, page] {
                 AddressDialog dialog(*editor, setup->messages, blockList, page);
                 setup->exec(dialog);
                 editor->Save();
             },
         .remove = [editor = &editor](std::optional<size_t> row) { return editor->Remove(row); },
         .question = QStringLiteral("Are you sure you want to remove this IP Address?"),
         .title = QStringLiteral("Remove IP Address"),
         .askFirst = true},
        page);
}

}  // namespace quorvane::ui
