#pragma once

#include <QDialog>
#include <vector>

#include "ui/options/list_editors.h"
#include "ui/options/options_page.h"

class QTabWidget;

namespace quorvane::ui {

// The options dialog: eleven tabs, each an OptionsPage, over the settings
// file and the list files. It loads the settings when it opens and hands
// them to the pages; the list tabs write their files at once; Update has
// every page check and collect its part, then writes every setting in one
// step (and dirs.lst); Cancel writes nothing.
class OptionsDialog : public QDialog {
    Q_OBJECT

  public:
    using Setup = OptionsSetup;

    explicit OptionsDialog(Setup setup, QWidget* parent = nullptr);
    ~OptionsDialog() override;

    void Update();

  private:
    void AddPage(OptionsPage* page, const QString& caption);
    // Shows the first value a page refuses, on its tab with the cursor in its
    // box, before the message says what is wrong with it.
    bool Refused();

    Setup setup_;
    // Update gives the root row the Home Directory tab's folder.
    VirtualDirectoryEditor directories_;
    QTabWidget* tabs_ = nullptr;
    std::vector<OptionsPage*> pages_;
};

}  // namespace quorvane::ui
