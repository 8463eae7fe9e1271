#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/program_folder.h"
#include "ui/control/desktop.h"
#include "ui/options/list_editors.h"
#include "ui/options/options_values.h"
#include "ui/options/pickers.h"

class QAbstractItemView;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;

namespace quorvane::ui {

// The options dialog: eleven tabs over the settings file and the list files.
// It loads everything when it opens; its list editors write their files at
// once; Update writes every setting in one step (and dirs.lst); Cancel writes
// nothing.
class OptionsDialog : public QDialog {
    Q_OBJECT

  public:
    struct Setup {
        const config::ProgramFolder& folder;
        MessageBoxes& messages;
        FilePickers& pickers;
        // Tells the main window the folder the picker chose (Update itself
        // leaves the main window to read the saved settings).
        std::function<void(const QString&)> rootChanged;
        // Runs a small dialog modally; tests answer it instead.
        std::function<int(QDialog&)> exec = [](QDialog& dialog) { return dialog.exec(); };
        // This machine's addresses: blocking one of them is confirmed first.
        std::vector<std::string> hostAddresses;
    };

    explicit OptionsDialog(Setup setup, QWidget* parent = nullptr);
    ~OptionsDialog() override;

    void Update();

  private:
    QWidget* VirtualDirectoriesPage();
    QWidget* DocumentsPage();
    QWidget* SecurityPage();
    QWidget* MimePage();
    QWidget* ErrorsPage();
    QWidget* CgiPage();
    QWidget* LoggingPage();
    QWidget* HomePage();
    QWidget* HttpsFrame();  // on the page that holds the port
    QWidget* ExpiryPage();
    QWidget* FaultPage();
    QWidget* UsersPage();

    void Load();
    void FillDirectories();
    void FillAddresses(QWidget* list, const AddressEditor& editor, bool withStatus);
    void FillDocuments(std::optional<size_t> select = std::nullopt);
    void FillMimeTypes();
    void FillUsers();
    void ShowSiteChoice(bool thisComputer);
    void AddressPage(QAbstractItemView* list, QPushButton* add, QPushButton* remove,
                     AddressEditor& editor, bool blockList);
    void SetExpiryControls(bool enabled, bool durationEnabled);
    void SetCgiControls(bool enabled);
    void SetUserEntry(bool entering);
    void AddUser();

    Setup setup_;
    VirtualDirectoryEditor directories_;
    AddressEditor blocked_;
    AddressEditor cgiBarred_;
    DocumentEditor documents_;
    MimeEditor mimeTypes_;
    UserEditor users_;

    QTabWidget* tabs_ = nullptr;
    QTreeWidget* vdirs_ = nullptr;
    QCheckBox* directoryBrowsing_ = nullptr;
    QCheckBox* docFooter_ = nullptr;
    QLineEdit* footerHtml_ = nullptr;
    QListWidget* defaultList_ = nullptr;
    QTreeWidget* ipList_ = nullptr;
    QListWidget* mimeList_ = nullptr;
    QTreeWidget* errorList_ = nullptr;
    QCheckBox* cgiEnabled_ = nullptr;
    QCheckBox* enablePerl_ = nullptr;
    QLineEdit* perlLocation_ = nullptr;
    QLineEdit* scriptTimeout_ = nullptr;
    QLineEdit* logLimit_ = nullptr;
    QListWidget* cgiNoList_ = nullptr;
    QPushButton* cgiAdd_ = nullptr;
    QPushButton* cgiRemove_ = nullptr;
    QRadioButton* refreshOnRun_ = nullptr;
    QRadioButton* refreshOnStop_ = nullptr;
    QRadioButton* userControlled_ = nullptr;
    QButtonGroup* loggingGroup_ = nullptr;
    QLineEdit* homePage_ = nullptr;
    QLabel* homeLabel_ = nullptr;
    QRadioButton* thisComputer_ = nullptr;
    QRadioButton* redirection_ = nullptr;
    QPushButton* browseHome_ = nullptr;
    QCheckBox* secureSite_ = nullptr;
    QCheckBox* scriptAllowed_ = nullptr;
    QCheckBox* exeAllowed_ = nullptr;
    QLineEdit* port_ = nullptr;
    QComboBox* listen_ = nullptr;
    QLineEdit* httpsPort_ = nullptr;
    QLineEdit* certificateFile_ = nullptr;
    QLineEdit* keyFile_ = nullptr;
    QCheckBox* redirectToHttps_ = nullptr;
    QCheckBox* contentExpires_ = nullptr;
    QGroupBox* expireInfo_ = nullptr;
    QRadioButton* expImmediate_ = nullptr;
    QRadioButton* expAfter_ = nullptr;
    QLineEdit* expireDuration_ = nullptr;
    QComboBox* expireInterval_ = nullptr;
    QCheckBox* rebuildDirs_ = nullptr;
    QCheckBox* rebuildMime_ = nullptr;
    QCheckBox* rebuildDefault_ = nullptr;
    QListWidget* userList_ = nullptr;
    QGroupBox* newUser_ = nullptr;
    QLineEdit* username_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* addUserStart_ = nullptr;
    QPushButton* removeUser_ = nullptr;
    QPushButton* addUser_ = nullptr;
    QPushButton* finishUsers_ = nullptr;
};

}  // namespace quorvane::ui
