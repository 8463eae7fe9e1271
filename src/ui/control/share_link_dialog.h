#pragma once

#include <optional>

#include <QDialog>
#include <functional>

#include "config/program_folder.h"
#include "responses/share_maker.h"
#include "ui/control/address_view.h"
#include "ui/control/desktop.h"
#include "ui/control/share_dialog.h"
#include "ui/options/pickers.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QStackedWidget;

namespace quorvane::ui {

// "Share...": a link to one file or one folder, for a time, for a number of
// downloads, with a note for its owner; Make link stores it and the dialog
// turns to the link's URL with its QR code. MakeShare decides.
class ShareLinkDialog : public QDialog {
    Q_OBJECT

  public:
    struct Setup {
        config::ProgramFolder folder;
        MessageBoxes& messages;
        FilePickers& pickers;
        // Called once the link is stored: says where it opens.
        std::function<Publication(const responses::MadeShare&)> made;
    };

    ShareLinkDialog(Setup setup, QWidget* parent = nullptr);

  private:
    QWidget* BuildChoicePage();
    QWidget* BuildResultPage();
    void ChooseFile();
    void ChooseFolder();
    void Make();
    void ShowLink(const Publication& where);

    Setup setup_;
    QStackedWidget* pages_ = nullptr;
    QLineEdit* path_ = nullptr;
    QComboBox* lifetime_ = nullptr;
    QSpinBox* downloads_ = nullptr;
    QLineEdit* note_ = nullptr;
    std::optional<AddressView> address_;
    QLabel* serving_ = nullptr;
};

}  // namespace quorvane::ui
