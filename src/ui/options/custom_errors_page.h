#pragma once

#include "ui/options/options_page.h"

class QTreeWidget;

namespace quorvane::ui {

// "Custom Errors": the page file sent for each error code.
class CustomErrorsPage : public OptionsPage {
    Q_OBJECT

  public:
    explicit CustomErrorsPage(const OptionsSetup& setup);

    void Show(const OptionsValues& values) override;
    void Collect(OptionsValues& values) const override;

  private:
    // The picker, starting at the selected row's file, replaces that file.
    void ChooseFile();

    const OptionsSetup& setup_;
    QTreeWidget* list_;
};

}  // namespace quorvane::ui
