#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

#include "ui/control/address_view.h"
#include "ui/control/desktop.h"
#include "ui/control/folder_share.h"
#include "ui/options/pickers.h"

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QVBoxLayout;

namespace quorvane::ui {

// A user that "Add user..." asks for.
struct NewUser {
    QString name;
    QString password;
};
using AskNewUser = std::function<std::optional<NewUser>(QWidget* parent)>;
// The real one: a small dialog with the name and the password.
std::optional<NewUser> AskNewUserDialog(QWidget* parent);

// Where a shared folder is now served: its URL, and whether the server runs.
struct Publication {
    QString url;
    bool serving = false;
};

// "Share a folder...": the folder, its name in the URL, who may open it and
// what visitors may do; OK shares it and the dialog turns to the folder's URL
// with its QR code. The decisions are FolderShare's.
class ShareDialog : public QDialog {
    Q_OBJECT

  public:
    struct Setup {
        config::ProgramFolder folder;
        MessageBoxes& messages;
        FilePickers& pickers;
        AskNewUser askUser;
        // Called once the record is written: starts the server when it is
        // stopped, and says where the named folder is served.
        std::function<Publication(const std::string& name)> publish;
    };

    ShareDialog(Setup setup, QWidget* parent = nullptr);

    // Fills in the folder and the name it suggests.
    void SetFolder(const QString& folder);

  private:
    QWidget* BuildChoicePage();
    QWidget* BuildUsersBox();
    QWidget* BuildResultPage();
    void ShowUsers(const QString& ticked);
    void ChooseFolder();
    void AddUser();
    void Share();
    void ShowPublication(const Publication& where, const ShareChoice& choice);

    Setup setup_;
    FolderShare share_;
    QStackedWidget* pages_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QLineEdit* name_ = nullptr;
    QRadioButton* anyone_ = nullptr;
    QRadioButton* chosen_ = nullptr;
    QVBoxLayout* userBoxes_ = nullptr;
    std::vector<QCheckBox*> users_;
    QCheckBox* uploads_ = nullptr;
    QCheckBox* changes_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
    std::optional<AddressView> address_;
    QLabel* note_ = nullptr;
};

}  // namespace quorvane::ui
