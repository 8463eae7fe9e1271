#pragma once

#include "ui/options/list_editors.h"
#include "ui/options/list_page.h"
#include "ui/options/options_page.h"

class QTreeWidget;

namespace quorvane::ui {

// "Virtual Directories": dirs.lst, whose first row, /, cannot be removed nor
// edited here (the Home Directory tab sets it). The dialog owns the editors,
// as Update gives the root row the Home Directory tab's folder and a folder
// offers the users the User Authentication tab holds.
class VirtualDirectoriesPage : public OptionsPage {
    Q_OBJECT

  public:
    VirtualDirectoriesPage(const OptionsSetup& setup, ListEditors& lists);

  private:
    void Fill();
    // The add dialog, or with a row the edit dialog filled from it.
    void RunDialog(std::optional<size_t> editing);
    std::optional<ListPage::Refusal> RootRefusal(size_t row, const QString& text) const;

    const OptionsSetup& setup_;
    VirtualDirectoryEditor& directories_;
    const UserEditor& users_;
    QTreeWidget* list_;
};

}  // namespace quorvane::ui
