#pragma once

#include "ui/options/options_page.h"
#include "ui/options/widget_helpers.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace quorvane::ui {

class HttpsFrame;

// "Home Directory": where the site comes from (a folder here, or a redirect
// elsewhere) and the root folder's rights, the limits on what visitors
// upload, the port and who can connect, and HTTPS.
class HomeDirectoryPage : public OptionsPage {
    Q_OBJECT

  public:
    explicit HomeDirectoryPage(const OptionsSetup& setup);

    void Show(const OptionsValues& values) override;
    std::optional<Refusal> Check() const override;
    void Collect(OptionsValues& values) const override;

  private:
    QWidget* SiteChoiceFrame();
    QLayout* UploadLimits();
    QLayout* PortRow();
    // A folder here can be browsed for and secured; a redirect cannot.
    void ShowSiteChoice(bool thisComputer);
    void ShowListenChoice(const std::string& listen);
    void BrowseHome();

    const OptionsSetup& setup_;
    QRadioButton* thisComputer_ = nullptr;
    QRadioButton* redirection_ = nullptr;
    QLabel* homeLabel_;
    QLineEdit* homePage_;
    QPushButton* browse_;
    QCheckBox* secureSite_;
    FolderRightsBoxes rights_;
    QSpinBox* keepFree_ = nullptr;
    QSpinBox* maxFile_ = nullptr;
    QLineEdit* port_ = nullptr;
    QComboBox* listen_ = nullptr;
    QCheckBox* announce_ = nullptr;
    HttpsFrame* https_;
};

}  // namespace quorvane::ui
