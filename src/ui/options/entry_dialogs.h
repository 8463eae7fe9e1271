#pragma once

#include <QDialog>

#include "ui/control/desktop.h"
#include "ui/options/list_editors.h"
#include "ui/options/pickers.h"
#include "ui/options/widget_helpers.h"

class QCheckBox;
class QLineEdit;

namespace quorvane::ui {

// Shows the message for a refused edit; true when the edit was done.
bool ReportEdit(MessageBoxes& messages, Edit result, const QString& title);

// "Add Virtual Directory": a name, a folder and its attributes: secured,
// which names run, what visitors may write.
class AddDirectoryDialog : public QDialog {
    Q_OBJECT
  public:
    AddDirectoryDialog(VirtualDirectoryEditor& editor, MessageBoxes& messages, FilePickers& pickers,
                       QWidget* parent = nullptr);
    void Ok();

  private:
    VirtualDirectoryEditor& editor_;
    MessageBoxes& messages_;
    QLineEdit* name_;
    QLineEdit* location_;
    QCheckBox* secure_;
    FolderRightsBoxes rights_;
};

// "Enter IP Address": four parts of an address for the block list
// (frmEnterIPAddress) or the CGI-barred list (frmBarCGI).
class AddressDialog : public QDialog {
    Q_OBJECT
  public:
    AddressDialog(AddressEditor& editor, MessageBoxes& messages, bool withDots,
                  QWidget* parent = nullptr);
    void Ok();

  private:
    // A "." moves on to the next box; a pasted address fills all four.
    void Distribute(int edited, const QString& text);

    AddressEditor& editor_;
    MessageBoxes& messages_;
    QLineEdit* octets_[4];
};

// "Add Default Document".
class DocumentDialog : public QDialog {
    Q_OBJECT
  public:
    DocumentDialog(DocumentEditor& editor, MessageBoxes& messages, QWidget* parent = nullptr);
    void Add();

  private:
    DocumentEditor& editor_;
    MessageBoxes& messages_;
    QLineEdit* name_;
};

// "Add MIME Type".
class MimeDialog : public QDialog {
    Q_OBJECT
  public:
    MimeDialog(MimeEditor& editor, MessageBoxes& messages, QWidget* parent = nullptr);
    void Ok();

  private:
    MimeEditor& editor_;
    MessageBoxes& messages_;
    QLineEdit* extension_;
    QLineEdit* type_;
};

}  // namespace quorvane::ui
