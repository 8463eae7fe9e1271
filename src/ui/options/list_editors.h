#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "config/list_file.h"
#include "config/list_records.h"
#include "config/program_folder.h"

namespace quorvane::ui {

// The outcome of an edit: done, or why it was refused (the dialog turns each
// reason into its message). Every change is written to its list file at
// once, in one step.
enum class Edit {
    kDone,
    kNothingSelected,
    kNameMissing,
    kLocationMissing,
    kPasswordMissing,
    kPartMissing,
    kDuplicate,
    kBadAddressPart,
    kUnstorable,
    kRootRefused,
    kAdminRefused,
    kOwnAddress,
    kWriteFailed,
};

// A list file of records with a fixed number of fields, held as the list
// shows it. No two rows are the same entry (each list says what "the same"
// means).
class RecordList {
  public:
    RecordList(std::filesystem::path path, size_t fields, mode_t newFileMode = 0644);
    virtual ~RecordList() = default;

    const std::vector<config::Record>& Rows() const { return rows_; }
    // Rewrites the file from the rows.
    bool Save() const;
    // Removes the file (an empty list of default documents leaves none).
    void Delete() const;

  protected:
    // Refuses a record that is the same entry as a listed one.
    Edit Append(config::Record record);
    Edit RemoveAt(std::optional<size_t> selected);
    virtual bool SameEntry(const config::Record& listed, const config::Record& added) const = 0;

    std::filesystem::path path_;
    mode_t newFileMode_;
    std::vector<config::Record> rows_;
};

// dirs.lst: name, folder, secure, script, exe, uploads, changes.
class VirtualDirectoryEditor : public RecordList {
  public:
    explicit VirtualDirectoryEditor(const config::ProgramFolder& folder);

    // The name is stored as "/name/"; a name already listed (compared after
    // that, letter case ignored) is refused, and so is a location that is
    // not an existing folder (a relative one is taken from the program
    // folder, as the server takes it).
    Edit Add(config::VirtualDirectory directory);
    Edit Remove(std::optional<size_t> selected);
    // The root row takes the Home Directory tab's folder and flags.
    void ApplyHomeDirectory(const config::VirtualDirectory& root);

    static std::string NormaliseName(const std::string& name);

  private:
    bool SameEntry(const config::Record& listed, const config::Record& added) const override;
    config::ProgramFolder folder_;
};

// iplist.lst or nocgi.lst: one address per record.
class AddressEditor : public RecordList {
  public:
    // The block list is given this machine's own addresses: blocking one of
    // them shuts out the machine's own browser, so it is confirmed first.
    AddressEditor(const config::ProgramFolder& folder, std::string_view listName,
                  std::vector<std::string> ownAddresses = {}, bool guardOwnAddresses = false);

    // Four parts, each a number from 0 to 255; an address already listed is
    // refused; one of this machine's, until confirmed, gives kOwnAddress.
    Edit Add(const std::array<std::string, 4>& parts, bool ownAddressConfirmed = false);
    // With rows, removes the selected one; on an empty list the file goes.
    Edit Remove(std::optional<size_t> selected);

  private:
    bool SameEntry(const config::Record& listed, const config::Record& added) const override;
    std::vector<std::string> ownAddresses_;
    bool guardOwnAddresses_;
};

// default.lst: document names in the order the server tries them.
class DocumentEditor : public RecordList {
  public:
    explicit DocumentEditor(const config::ProgramFolder& folder);

    Edit Add(const std::string& name);
    Edit Remove(std::optional<size_t> selected);
    // Exchanges the selected entry with its neighbour; the result is the
    // row that shows the moved entry, or nothing when there was no move.
    std::optional<size_t> MoveUp(std::optional<size_t> selected);
    std::optional<size_t> MoveDown(std::optional<size_t> selected);
    // After the add dialog: the file holds the list, or is gone when empty.
    void SaveOrDelete() const;

  private:
    bool SameEntry(const config::Record& listed, const config::Record& added) const override;
};

// mime.lst: "extension,type" per record.
class MimeEditor : public RecordList {
  public:
    explicit MimeEditor(const config::ProgramFolder& folder);

    // The extension is stored without leading dots; one already listed
    // (letter case ignored, as the server looks it up) is refused.
    Edit Add(const std::string& extension, const std::string& type);
    Edit Remove(std::optional<size_t> selected);

  private:
    bool SameEntry(const config::Record& listed, const config::Record& added) const override;
};

// users.lst: name and password; only names are shown.
class UserEditor : public RecordList {
  public:
    explicit UserEditor(const config::ProgramFolder& folder);

    // A name already listed (letter case ignored) is refused.
    Edit Add(const std::string& name, const std::string& password);
    // ADMIN, in any letter case, stays; every record of exactly the selected
    // name goes.
    Edit Remove(std::optional<size_t> selected);

  private:
    bool SameEntry(const config::Record& listed, const config::Record& added) const override;
};

}  // namespace quorvane::ui
