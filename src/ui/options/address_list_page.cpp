#include "ui/options/address_list_page.h"

#include "ui/options/entry_dialogs.h"

namespace quorvane::ui {

ListPage* NewAddressListPage(const AddressListButtons& buttons, AddressEditor& editor,
                             bool blockList, const OptionsSetup& setup, std::function<void()> fill,
                             QWidget* page) {
    const auto runDialog = [editor = &editor, setup = &setup, blockList,
                            page](std::optional<size_t> editing) {
        AddressDialog dialog(*editor, setup->messages, blockList, editing, page);
        setup->exec(dialog);
        editor->WriteAtCommit();
    };
    auto* list = new ListPage(
        buttons.view, buttons.add, buttons.remove, setup.messages,
        {.fill = std::move(fill),
         .add = [runDialog] { runDialog(std::nullopt); },
         .remove = [editor = &editor](std::optional<size_t> row) { return editor->Remove(row); },
         .question = QStringLiteral("Are you sure you want to remove this IP Address?"),
         .title = QStringLiteral("Remove IP Address"),
         .askFirst = true},
        page);
    list->SetEdit(buttons.edit, [runDialog, editor = &editor, setup = &setup](size_t row) {
        if (!AddressEditor::PartsOf(editor->Rows()[row][0])) {
            setup->messages.Warning(
                QStringLiteral("Only an address of four numbers can be changed here. Remove "
                               "this one and add the address anew."),
                QStringLiteral("Quorvane2000"));
            return;
        }
        runDialog(row);
    });
    return list;
}

}  // namespace quorvane::ui
