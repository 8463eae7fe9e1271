#pragma once

#include "ui/options/options_page.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;

namespace quorvane::ui {

// "Content Expiry": whether pages carry an expiry time, and which.
class ContentExpiryPage : public OptionsPage {
    Q_OBJECT

  public:
    ContentExpiryPage();

    void Show(const OptionsValues& values) override;
    void Collect(OptionsValues& values) const override;

  private:
    QWidget* ExpiryFrame();
    // The switch turns the choice on or off; the duration counts only
    // after "Content Expires After".
    void SetControls(bool enabled, bool durationEnabled);

    QCheckBox* expires_;
    QGroupBox* frame_ = nullptr;
    QRadioButton* immediate_ = nullptr;
    QRadioButton* after_ = nullptr;
    QLineEdit* duration_ = nullptr;
    QComboBox* interval_ = nullptr;
};

}  // namespace quorvane::ui
