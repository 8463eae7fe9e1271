#pragma once

#include <functional>

#include "ui/options/list_editors.h"
#include "ui/options/list_page.h"
#include "ui/options/options_page.h"

namespace quorvane::ui {

struct AddressListButtons {
    QAbstractItemView* view;
    QPushButton* add;
    QPushButton* edit;
    QPushButton* remove;
};

// The Add, Edit and Remove wiring of an address list (the block list, the
// CGI-barred list): Add and Edit run the address dialog, and the list is
// written at Update after either button, so a missing list appears; Remove
// asks first.
ListPage* NewAddressListPage(const AddressListButtons& buttons, AddressEditor& editor,
                             bool blockList, const OptionsSetup& setup, std::function<void()> fill,
                             QWidget* page);

}  // namespace quorvane::ui
