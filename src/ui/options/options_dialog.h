#pragma once

#include <filesystem>
#include <optional>

#include <QDialog>
#include <vector>

#include "ui/options/list_editors.h"
#include "ui/options/options_page.h"

class QTabWidget;

namespace quorvane::ui {

// The options dialog: eleven tabs, each an OptionsPage, over the settings
// file and the list files. It loads the settings and the lists when it
// opens and hands them to the pages, which edit them in memory; Update has
// every page check and collect its part, then writes each changed list
// file whole and every setting in one step; Cancel writes nothing.
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

    // Commits the lists, the root row given the Home Directory tab's folder;
    // the file that could not be written, if one could not.
    std::optional<std::filesystem::path> CommitLists(const OptionsValues& values);

    Setup setup_;
    ListEditors lists_;
    OptionsValues loaded_;
    QTabWidget* tabs_ = nullptr;
    std::vector<OptionsPage*> pages_;
};

}  // namespace quorvane::ui
