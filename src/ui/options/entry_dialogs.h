#pragma once

#include <QDialog>
#include <optional>
#include <utility>
#include <vector>

#include "ui/control/desktop.h"
#include "ui/options/list_editors.h"
#include "ui/options/pickers.h"
#include "ui/options/widget_helpers.h"

class QCheckBox;
class QLineEdit;

namespace quorvane::ui {

// Shows the message for a refused edit; true when the edit was done.
bool ReportEdit(MessageBoxes& messages, Edit result, const QString& title);

// "Add Virtual Directory" (or, given a row, "Edit Virtual Directory" filled
// from it): a name, a folder and its attributes: secured, and then for
// which of the users; which names run; what visitors may write.
class AddDirectoryDialog : public QDialog {
    Q_OBJECT
  public:
    AddDirectoryDialog(VirtualDirectoryEditor& editor, const UserEditor& users,
                       MessageBoxes& messages, FilePickers& pickers,
                       std::optional<size_t> editing = std::nullopt, QWidget* parent = nullptr);
    void Ok();

  private:
    QWidget* UserBoxes(const UserEditor& users, const config::VirtualDirectory& shown);
    void Show(const config::VirtualDirectory& directory);
    std::vector<std::string> TickedUsers() const;

    VirtualDirectoryEditor& editor_;
    MessageBoxes& messages_;
    std::optional<size_t> editing_;
    QLineEdit* name_;
    QLineEdit* location_;
    QCheckBox* secure_;
    FolderRightsBoxes rights_;
    std::vector<std::pair<QCheckBox*, std::string>> users_;
};

// "Enter IP Address": four parts of an address for the block list
// (frmEnterIPAddress) or the CGI-barred list (frmBarCGI).
class AddressDialog : public QDialog {
    Q_OBJECT
  public:
    // Given a row, the boxes show its address and OK changes it.
    AddressDialog(AddressEditor& editor, MessageBoxes& messages, bool withDots,
                  std::optional<size_t> editing = std::nullopt, QWidget* parent = nullptr);
    void Ok();

  private:
    Edit Put(const std::array<std::string, 4>& parts, bool confirmed);
    // A "." moves on to the next box; a pasted address fills all four.
    void Distribute(int edited, const QString& text);

    AddressEditor& editor_;
    MessageBoxes& messages_;
    std::optional<size_t> editing_;
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

// "Add MIME Type", or given a row "Edit MIME Type" filled from it.
class MimeDialog : public QDialog {
    Q_OBJECT
  public:
    MimeDialog(MimeEditor& editor, MessageBoxes& messages,
               std::optional<size_t> editing = std::nullopt, QWidget* parent = nullptr);
    void Ok();

  private:
    MimeEditor& editor_;
    MessageBoxes& messages_;
    std::optional<size_t> editing_;
    QLineEdit* extension_;
    QLineEdit* type_;
};

}  // namespace quorvane::ui
