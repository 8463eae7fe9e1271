#pragma once

#include "ui/options/list_editors.h"
#include "ui/options/options_page.h"

class QListWidget;

namespace quorvane::ui {

// "MIME Types": mime.lst, the content types beyond the built-in ones.
class MimeTypesPage : public OptionsPage {
    Q_OBJECT

  public:
    MimeTypesPage(const OptionsSetup& setup, MimeEditor& mimeTypes);

  private:
    void Fill();

    const OptionsSetup& setup_;
    MimeEditor& mimeTypes_;
    QListWidget* list_;
};

}  // namespace quorvane::ui
