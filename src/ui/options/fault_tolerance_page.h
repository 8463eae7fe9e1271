#pragma once

#include "ui/options/options_page.h"

class QCheckBox;

namespace quorvane::ui {

// "Fault Tolerance": which missing list files start-up writes afresh.
class FaultTolerancePage : public OptionsPage {
    Q_OBJECT

  public:
    FaultTolerancePage();

    void Show(const OptionsValues& values) override;
    void Collect(OptionsValues& values) const override;

  private:
    QCheckBox* rebuildDirs_;
    QCheckBox* rebuildMime_;
    QCheckBox* rebuildDefault_;
};

}  // namespace quorvane::ui
