#pragma once

#include "ui/options/list_editors.h"
#include "ui/options/options_page.h"

class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quorvane::ui {

// "User Authentication": users.lst. Accounts are typed into an entry area
// that "Add User..." opens and "Finish" closes; the Administrator stays.
class UserAuthenticationPage : public OptionsPage {
    Q_OBJECT

  public:
    explicit UserAuthenticationPage(const OptionsSetup& setup);

  private:
    QWidget* EntryFrame();
    void WireList();
    // While the entry area is open, the list's own buttons are not.
    void SetEntry(bool entering);
    void StartEntry();
    void FinishEntry();
    void AddUser();
    void Fill();

    const OptionsSetup& setup_;
    UserEditor users_;
    QListWidget* list_;
    QPushButton* start_;
    QPushButton* remove_;
    QGroupBox* entry_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* finish_ = nullptr;
};

}  // namespace quorvane::ui
