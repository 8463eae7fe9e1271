#pragma once

#include "ui/options/list_editors.h"
#include "ui/options/options_page.h"

class QTreeWidget;

namespace quorvane::ui {

// "Virtual Directories": dirs.lst, whose first row, /, cannot be removed.
// The dialog owns the editor, as Update gives the root row the Home
// Directory tab's folder.
class VirtualDirectoriesPage : public OptionsPage {
    Q_OBJECT

  public:
    VirtualDirectoriesPage(const OptionsSetup& setup, VirtualDirectoryEditor& directories);

  private:
    void Fill();

    const OptionsSetup& setup_;
    VirtualDirectoryEditor& directories_;
    QTreeWidget* list_;
};

}  // namespace quorvane::ui
