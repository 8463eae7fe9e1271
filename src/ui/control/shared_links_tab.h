#pragma once

#include <optional>

#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

#include "config/program_folder.h"
#include "ui/control/address_view.h"
#include "ui/control/desktop.h"
#include "ui/control/share_link_dialog.h"
#include "ui/control/share_links_view.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace quorvane::ui {

// The Shared Links tab: shares.lst as a table; the chosen link's URL with
// its QR code and Copy (for links made in this run), and Revoke. What each
// row says is ShareLinksView's.
class SharedLinksTab : public QWidget {
    Q_OBJECT

  public:
    struct Setup {
        config::ProgramFolder folder;
        MessageBoxes& messages;
        // The site's address as the network reaches it.
        std::function<std::string()> siteUrl;
        // Starts the server when it is stopped; whether it serves.
        std::function<bool()> serve;
    };

    SharedLinksTab(Setup setup, QWidget* parent = nullptr);

    // "Share..." is disabled until the choosers are set.
    void SetPickers(FilePickers& pickers);
    void OpenShareDialog();
    ShareLinkDialog* CurrentShareDialog() const { return dialog_; }
    // Re-reads shares.lst; the table is rebuilt only when a row changed.
    void Refresh();

  private:
    Publication Made(const responses::MadeShare& made);
    void ShowRows();
    void ShowChosen();
    void Revoke();

    Setup setup_;
    FilePickers* pickers_ = nullptr;
    ShareLinksView view_;
    std::vector<ShareLinkRow> rows_;
    QPointer<ShareLinkDialog> dialog_;
    QTableWidget* table_ = nullptr;
    QLabel* problem_ = nullptr;
    AddressView address_{QStringLiteral("SharedLink"), QStringLiteral("the link")};
    QLabel* notice_ = nullptr;
    QPushButton* revoke_ = nullptr;
    QPushButton* share_ = nullptr;
};

}  // namespace quorvane::ui
