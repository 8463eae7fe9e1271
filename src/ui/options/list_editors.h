#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "config/list_file.h"
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
    kWriteFailed,
};

// A list file of records with a fixed number of fields, held as the list
// shows it.
class RecordList {
  public:
    RecordList(std::filesystem::path path, size_t fields, mode_t newFileMode = 0644);

    const std::vector<config::Record>& Rows() const { return rows_; }
    // Rewrites the file from the rows.
    bool Save() const;
    // Removes the file (an empty list of default documents leaves none).
    void Delete() const;

  protected:
    Edit Append(config::Record record);
    Edit RemoveAt(std::optional<size_t> selected);
    bool Contains(const std::string& text,
                  bool (*same)(const std::string&, const std::string&)) const;

    std::filesystem::path path_;
    mode_t newFileMode_;
    std::vector<config::Record> rows_;
};

// dirs.lst: name, folder, secure, script, exe.
class VirtualDirectoryEditor : public RecordList {
  public:
    explicit VirtualDirectoryEditor(const config::ProgramFolder& folder);

    // The name is stored as "/name/"; a name already listed (compared after
    // that, letter case ignored) is refused.
    Edit Add(const std::string& name, const std::string& location, bool secure, bool script,
             bool exe);
    Edit Remove(std::optional<size_t> selected);
    // The root row takes the Home Directory tab's folder and flags.
    void ApplyHomeDirectory(const std::string& folder, bool secure, bool script, bool exe);

    static std::string NormaliseName(const std::string& name);
};

// iplist.lst or nocgi.lst: one address per record.
class AddressEditor : public RecordList {
  public:
    AddressEditor(const config::ProgramFolder& folder, std::string_view listName);

    // Four parts, each a number from 0 to 255; an address already listed is
    // refused.
    Edit Add(const std::array<std::string, 4>& parts);
    Edit Remove(std::optional<size_t> selected);
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
};

// mime.lst: "extension,type" per record.
class MimeEditor : public RecordList {
  public:
    explicit MimeEditor(const config::ProgramFolder& folder);

    Edit Add(const std::string& extension, const std::string& type);
    Edit Remove(std::optional<size_t> selected);
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
};

}  // namespace quorvane::ui
