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
// reason into its message). Edits are held in memory until Commit, which the
// options dialog's Update runs; a dialog closed without it leaves every file
// as it was.
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
    kNotHashed,  // the system could not make a password hash
};

// A list file of records with a fixed number of fields, held as the list
// shows it. No two rows are the same entry (each list says what "the same"
// means).
class RecordList {
  public:
    RecordList(std::filesystem::path path, size_t fields, mode_t newFileMode = 0644);
    virtual ~RecordList() = default;

    const std::vector<config::Record>& Rows() const { return rows_; }
    const std::filesystem::path& Path() const { return path_; }
    // The file is written at Commit even when no row changed, so that a
    // missing list appears.
    void WriteAtCommit();
    // Makes the held edits real: the file rewritten whole in one step, or
    // removed where the list says so. False when that failed; the edits are
    // then still held.
    bool Commit();

  protected:
    // Adds the record, or with `replacing` puts it in that row's place;
    // refuses one that is the same entry as another listed row.
    Edit Put(config::Record record, std::optional<size_t> replacing = std::nullopt);
    Edit RemoveAt(std::optional<size_t> selected);
    bool IsRow(std::optional<size_t> selected) const {
        return selected && *selected < rows_.size();
    }
    // Whether `record` is the same entry as a listed row other than `except`.
    bool Listed(const config::Record& record, std::optional<size_t> except) const;
    // Rows changed: the file is rewritten at Commit.
    void Changed() { pending_ = Pending::kWrite; }
    void RemoveFileAtCommit() { pending_ = Pending::kRemove; }
    virtual bool SameEntry(const config::Record& listed, const config::Record& added) const = 0;
    // The records as the file gets them.
    virtual std::vector<config::Record> FileRecords() const { return rows_; }
    // A list that leaves no file when it is empty.
    virtual bool NoFileWhenEmpty() const { return false; }

    std::filesystem::path path_;
    mode_t newFileMode_;
    std::vector<config::Record> rows_;

  private:
    enum class Pending { kNothing, kWrite, kRemove };
    Pending pending_ = Pending::kNothing;
};

// dirs.lst: name, folder, secure, script, exe, uploads, changes, and the
// users a secure folder admits (the field left out when it names none).
class VirtualDirectoryEditor : public RecordList {
  public:
    explicit VirtualDirectoryEditor(const config::ProgramFolder& folder);

    config::VirtualDirectory At(size_t row) const;
    // The name is stored as "/name/"; a name already listed (compared after
    // that, letter case ignored) is refused, and so is a location that is
    // not an existing folder (a relative one is taken from the program
    // folder, as the server takes it). A folder that is not secure names no
    // users.
    Edit Add(config::VirtualDirectory directory);
    // The same checks, for the row's new values; the root row is set on the
    // Home Directory tab, not here.
    Edit Change(size_t row, config::VirtualDirectory directory);
    Edit Remove(std::optional<size_t> selected);
    // A renamed user keeps the folders that named them.
    void RenameUser(const std::string& from, const std::string& to);
    // The root row takes the Home Directory tab's folder and flags.
    void ApplyHomeDirectory(const config::VirtualDirectory& root);

    static std::string NormaliseName(const std::string& name);

  private:
    Edit Store(config::VirtualDirectory directory, std::optional<size_t> replacing);
    bool SameEntry(const config::Record& listed, const config::Record& added) const override;
    std::vector<config::Record> FileRecords() const override;
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
    Edit Change(size_t row, const std::array<std::string, 4>& parts,
                bool ownAddressConfirmed = false);
    // With rows, removes the selected one; on an empty list the file goes.
    Edit Remove(std::optional<size_t> selected);
    // The four parts of a listed address; none for one typed into the file
    // in another form (IPv6), which the four boxes cannot show.
    static std::optional<std::array<std::string, 4>> PartsOf(const std::string& address);

  private:
    Edit Store(const std::array<std::string, 4>& parts, bool ownAddressConfirmed,
               std::optional<size_t> replacing);
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

  private:
    bool SameEntry(const config::Record& listed, const config::Record& added) const override;
    bool NoFileWhenEmpty() const override { return true; }
};

// mime.lst: "extension,type" per record.
class MimeEditor : public RecordList {
  public:
    explicit MimeEditor(const config::ProgramFolder& folder);

    // The extension is stored without leading dots; one already listed
    // (letter case ignored, as the server looks it up) is refused.
    Edit Add(const std::string& extension, const std::string& type);
    Edit Change(size_t row, const std::string& extension, const std::string& type);
    Edit Remove(std::optional<size_t> selected);
    // A row's two parts, as the dialog shows them.
    static std::array<std::string, 2> Parts(const config::Record& record);

  private:
    Edit Store(const std::string& extension, const std::string& type,
               std::optional<size_t> replacing);
    bool SameEntry(const config::Record& listed, const config::Record& added) const override;
};

// users.lst: name and password; only names are shown. Every password typed
// here is stored as a yescrypt hash; entries not touched stay as they are.
class UserEditor : public RecordList {
  public:
    explicit UserEditor(const config::ProgramFolder& folder);

    // A name already listed (letter case ignored) is refused.
    Edit Add(const std::string& name, const std::string& password);
    // A new name, a new password or both; an empty password keeps the stored
    // one. The Administrator keeps the name.
    Edit Change(size_t row, const std::string& name, const std::string& password);
    // ADMIN, in any letter case, stays; every record of exactly the selected
    // name goes.
    Edit Remove(std::optional<size_t> selected);
    // Whether any password is stored in clear, and replacing each by its hash.
    bool HasPasswordsInClear() const;
    Edit ProtectPasswords();

  private:
    Edit Store(const std::string& name, const std::string& password,
               std::optional<size_t> replacing);
    bool SameEntry(const config::Record& listed, const config::Record& added) const override;
};

// Every list the options dialog edits, held until its Update commits them.
struct ListEditors {
    ListEditors(const config::ProgramFolder& folder, std::vector<std::string> ownAddresses);

    VirtualDirectoryEditor directories;
    DocumentEditor documents;
    MimeEditor mimeTypes;
    AddressEditor blocked;  // iplist.lst
    AddressEditor barred;   // nocgi.lst
    UserEditor users;

    // Commits every list; the first file that could not be written, if any
    // (the lists after it are left as they were, their edits still held).
    std::optional<std::filesystem::path> CommitAll();
};

}  // namespace quorvane::ui
