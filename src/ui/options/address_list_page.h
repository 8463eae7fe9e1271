#pragma once

#include <functional>

#include "ui/options/list_editors.h"
#include "ui/options/list_page.h"
#include "ui/options/options_page.h"

namespace quorvane::ui {

// The Add and Remove wiring of an address list (the block list, the
// CGI-barred list): Add runs the address dialog and writes the list after
// either button, so a missing list appears; Remove asks first.
ListPage* NewAddressListPage(QAbstractItemView* view, QPushButton* add, QPushButton* remove,
                             AddressEditor& editor, bool blockList, const OptionsSetup& setup,
                             std::function<void()> fill, QWidget* page);

}  // namespace quorvane::ui
