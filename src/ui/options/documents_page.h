#pragma once

#include "ui/options/list_editors.h"
#include "ui/options/options_page.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;

namespace quorvane::ui {

// "Documents": directory browsing and the folder page's style, the page
// footer, and default.lst in the order the server tries its names.
class DocumentsPage : public OptionsPage {
    Q_OBJECT

  public:
    DocumentsPage(const OptionsSetup& setup, DocumentEditor& documents);

    void Show(const OptionsValues& values) override;
    void Collect(OptionsValues& values) const override;

  private:
    QWidget* FooterFrame();
    QWidget* DocumentList();
    void Move(std::optional<size_t> (DocumentEditor::*move)(std::optional<size_t>));
    void Fill(std::optional<size_t> select = std::nullopt);

    const OptionsSetup& setup_;
    DocumentEditor& documents_;
    QCheckBox* directoryBrowsing_ = nullptr;
    QComboBox* listingStyle_ = nullptr;
    QCheckBox* footer_ = nullptr;
    QLineEdit* footerHtml_ = nullptr;
    QListWidget* list_ = nullptr;
};

}  // namespace quorvane::ui
