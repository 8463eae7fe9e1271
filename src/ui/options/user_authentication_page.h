#pragma once

#include "ui/options/list_editors.h"
#include "ui/options/options_page.h"

class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quorvane::ui {

// "User Authentication": users.lst. Accounts are typed into an entry area
// that "Add User..." opens and "Finish" closes; "Edit User..." (or a
// double-click) opens it on the selected account, its name shown to change
// and its password to be typed anew. The Administrator stays, under its name.
class UserAuthenticationPage : public OptionsPage {
    Q_OBJECT

  public:
    UserAuthenticationPage(const OptionsSetup& setup, ListEditors& lists);

  private:
    QWidget* EntryFrame();
    void WireList();
    // While the entry area is open, the list's own buttons are not.
    void SetEntry(bool entering);
    // The entry area adds an account, or changes the row's.
    void SetEditing(std::optional<size_t> editing);
    void StartEntry(std::optional<size_t> editing);
    void FinishEntry();
    // Adds the account, or changes the one being edited; a renamed user
    // keeps the folders that named them.
    Edit Put(const std::string& name, const std::string& password);
    void AddUser();
    // Every password kept in clear becomes its hash, once the user agrees.
    void ProtectPasswords();
    void Fill();

    const OptionsSetup& setup_;
    UserEditor& users_;
    VirtualDirectoryEditor& directories_;
    std::optional<size_t> editing_;
    QListWidget* list_;
    QPushButton* start_;
    QPushButton* edit_;
    QPushButton* remove_;
    QPushButton* protect_;
    QGroupBox* entry_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* finish_ = nullptr;
};

}  // namespace quorvane::ui
