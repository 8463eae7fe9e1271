#pragma once

#include "ui/options/list_editors.h"
#include "ui/options/options_page.h"

class QTreeWidget;

namespace quorvane::ui {

// "Security": iplist.lst, the addresses refused every request.
class SecurityPage : public OptionsPage {
    Q_OBJECT

  public:
    SecurityPage(const OptionsSetup& setup, AddressEditor& blocked);

  private:
    void Fill();

    AddressEditor& blocked_;
    QTreeWidget* list_;
};

}  // namespace quorvane::ui
