#pragma once

#include "ui/options/options_page.h"

class QLineEdit;
class QRadioButton;

namespace quorvane::ui {

// "Logging": when the access log is emptied, and the size past which a new
// one is started.
class LoggingPage : public OptionsPage {
    Q_OBJECT

  public:
    LoggingPage();

    void Show(const OptionsValues& values) override;
    std::optional<Refusal> Check() const override;
    void Collect(OptionsValues& values) const override;

  private:
    QRadioButton* refreshOnRun_;
    QRadioButton* refreshOnStop_;
    QRadioButton* userControlled_;
    QLineEdit* limit_;
};

}  // namespace quorvane::ui
