#pragma once

#include "ui/options/list_editors.h"
#include "ui/options/options_page.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quorvane::ui {

// "CGI Scripts": the CGI switch, Perl, the script time-out, and nocgi.lst,
// the addresses that may run no script.
class CgiScriptsPage : public OptionsPage {
    Q_OBJECT

  public:
    CgiScriptsPage(const OptionsSetup& setup, AddressEditor& barred);

    void Show(const OptionsValues& values) override;
    std::optional<Refusal> Check() const override;
    void Collect(OptionsValues& values) const override;

  private:
    // The CGI switch turns the rest of the tab on or off.
    void SetControls(bool enabled);
    void Fill();

    AddressEditor& barred_;
    QCheckBox* enabled_;
    QCheckBox* perl_;
    QLineEdit* perlLocation_;
    QLineEdit* timeout_;
    QListWidget* list_;
    QPushButton* add_;
    QPushButton* edit_;
    QPushButton* remove_;
};

}  // namespace quorvane::ui
