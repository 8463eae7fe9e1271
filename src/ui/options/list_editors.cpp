#include "ui/options/list_editors.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "config/list_files.h"
#include "config/list_records.h"
#include "config/text.h"
#include "responses/password_hash.h"
#include "ui/control/host_addresses.h"
#include "ui/options/options_values.h"

namespace quorvane::ui {

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return config::EqualsIgnoringCase(a, b);
}

bool IsAddressPart(const std::string& part) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    return !part.empty() && error == std::errc() && end == part.data() + part.size() &&
           value <= 255;
}

}  // namespace

RecordList::RecordList(std::filesystem::path path, size_t fields, mode_t newFileMode)
    : path_(std::move(path)),
      newFileMode_(newFileMode),
      rows_(config::ReadRecords(path_, fields)) {}

void RecordList::WriteAtCommit() {
    if (pending_ == Pending::kNothing) {
        pending_ = Pending::kWrite;
    }
}

bool RecordList::Commit() {
    const bool remove = pending_ == Pending::kRemove ||
                        (pending_ == Pending::kWrite && NoFileWhenEmpty() && rows_.empty());
    if (remove) {
        std::error_code error;
        std::filesystem::remove(path_, error);
        if (error) {
            return false;
        }
    } else if (pending_ == Pending::kWrite &&
               !config::WriteRecords(path_, FileRecords(), newFileMode_)) {
        return false;
    }
    pending_ = Pending::kNothing;
    return true;
}

bool RecordList::Listed(const config::Record& record, std::optional<size_t> except) const {
    for (size_t row = 0; row < rows_.size(); ++row) {
        if (row != except && SameEntry(rows_[row], record)) {
            return true;
        }
    }
    return false;
}

Edit RecordList::Put(config::Record record, std::optional<size_t> replacing) {
    if (replacing && !IsRow(replacing)) {
        return Edit::kNothingSelected;
    }
    if (!std::all_of(record.begin(), record.end(), config::IsStorableField)) {
        return Edit::kUnstorable;
    }
    if (Listed(record, replacing)) {
        return Edit::kDuplicate;
    }
    if (replacing) {
        rows_[*replacing] = std::move(record);
    } else {
        rows_.push_back(std::move(record));
    }
    Changed();
    return Edit::kDone;
}

Edit RecordList::RemoveAt(std::optional<size_t> selected) {
    if (!IsRow(selected)) {
        return Edit::kNothingSelected;
    }
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(*selected));
    Changed();
    return Edit::kDone;
}

VirtualDirectoryEditor::VirtualDirectoryEditor(const config::ProgramFolder& folder)
    : RecordList(folder.ListFilePath(config::kDirsList), config::VirtualDirectory::kFields),
      folder_(folder) {
    // A record of five fields lacks the two write fields, which mean "No";
    // the rest are kept as written.
    for (config::Record& row : rows_) {
        for (size_t field : {5, 6}) {
            if (row[field].empty()) {
                row[field] = config::YesNo(false);
            }
        }
    }
}

config::VirtualDirectory VirtualDirectoryEditor::At(size_t row) const {
    return config::VirtualDirectory::FromRecord(rows_.at(row));
}

std::vector<config::Record> VirtualDirectoryEditor::FileRecords() const {
    // An empty users field is left out, so the record keeps the form the
    // server has always read.
    std::vector<config::Record> records = rows_;
    for (config::Record& record : records) {
        if (record.size() == config::VirtualDirectory::kFields && record.back().empty()) {
            record.pop_back();
        }
    }
    return records;
}

bool VirtualDirectoryEditor::SameEntry(const config::Record& listed,
                                       const config::Record& added) const {
    return SameIgnoringCase(listed[0], added[0]);
}

std::string VirtualDirectoryEditor::NormaliseName(const std::string& name) {
    std::string normal = name;
    if (normal.empty() || normal.front() != '/') {
        normal.insert(normal.begin(), '/');
    }
    if (normal.back() != '/') {
        normal += '/';
    }
    return normal;
}

Edit VirtualDirectoryEditor::Add(config::VirtualDirectory directory) {
    return Store(std::move(directory), std::nullopt);
}

Edit VirtualDirectoryEditor::Change(size_t row, config::VirtualDirectory directory) {
    if (IsRow(row) && rows_[row][0] == "/") {
        return Edit::kRootRefused;
    }
    return Store(std::move(directory), row);
}

Edit VirtualDirectoryEditor::Store(config::VirtualDirectory directory,
                                   std::optional<size_t> replacing) {
    if (directory.name.empty()) {
        return Edit::kNameMissing;
    }
    std::error_code error;
    if (directory.folder.empty() ||
        !std::filesystem::is_directory(folder_.Resolve(directory.folder), error)) {
        return Edit::kLocationMissing;
    }
    directory.name = NormaliseName(directory.name);
    const WriteBoxes writes = ShownWriteBoxes(directory.scripts, directory.programs,
                                              directory.uploads, directory.changes);
    directory.uploads = writes.uploads;
    directory.changes = writes.changes;
    if (!directory.secure) {
        directory.users.clear();
    }
    config::Record record = directory.ToRecord();
    record.resize(config::VirtualDirectory::kFields);
    return Put(std::move(record), replacing);
}

Edit VirtualDirectoryEditor::Remove(std::optional<size_t> selected) {
    if (IsRow(selected) && rows_[*selected][0] == "/") {
        return Edit::kRootRefused;
    }
    return RemoveAt(selected);
}

void VirtualDirectoryEditor::RenameUser(const std::string& from, const std::string& to) {
    for (config::Record& row : rows_) {
        config::VirtualDirectory directory = config::VirtualDirectory::FromRecord(row);
        if (std::find(directory.users.begin(), directory.users.end(), from) ==
            directory.users.end()) {
            continue;
        }
        std::replace(directory.users.begin(), directory.users.end(), from, to);
        row[7] = directory.ToRecord().back();
        Changed();
    }
}

void VirtualDirectoryEditor::ApplyHomeDirectory(const config::VirtualDirectory& root) {
    for (config::Record& row : rows_) {
        if (config::StartsWith(row[0], "/")) {
            config::VirtualDirectory updated = root;
            updated.name = row[0];
            updated.users = config::VirtualDirectory::FromRecord(row).users;
            row = updated.ToRecord();
            row.resize(config::VirtualDirectory::kFields);
            Changed();
            return;
        }
    }
}

AddressEditor::AddressEditor(const config::ProgramFolder& folder, std::string_view listName,
                             std::vector<std::string> ownAddresses, bool guardOwnAddresses)
    : RecordList(folder.ListFilePath(listName), 1),
      ownAddresses_(std::move(ownAddresses)),
      guardOwnAddresses_(guardOwnAddresses) {}

bool AddressEditor::SameEntry(const config::Record& listed, const config::Record& added) const {
    return listed[0] == added[0];
}

Edit AddressEditor::Add(const std::array<std::string, 4>& parts, bool ownAddressConfirmed) {
    return Store(parts, ownAddressConfirmed, std::nullopt);
}

Edit AddressEditor::Change(size_t row, const std::array<std::string, 4>& parts,
                           bool ownAddressConfirmed) {
    return Store(parts, ownAddressConfirmed, row);
}

Edit AddressEditor::Store(const std::array<std::string, 4>& parts, bool ownAddressConfirmed,
                          std::optional<size_t> replacing) {
    if (!std::all_of(parts.begin(), parts.end(), IsAddressPart)) {
        return Edit::kBadAddressPart;
    }
    // Leading zeros are dropped, so the stored text is the address as clients show it.
    // Appended piece by piece: GCC 12 at -O3 takes `"." + std::to_string(...)`
    // for an overlapping copy and stops a Release build with -Werror=restrict.
    std::string address;
    for (const std::string& part : parts) {
        if (!address.empty()) {
            address += '.';
        }
        address += std::to_string(std::stoul(part));
    }
    if (Listed({address}, replacing)) {
        return Edit::kDuplicate;  // before the question: a listed address needs none
    }
    if (guardOwnAddresses_ && !ownAddressConfirmed && IsOwnAddress(address, ownAddresses_)) {
        return Edit::kOwnAddress;
    }
    return Put({address}, replacing);
}

std::optional<std::array<std::string, 4>> AddressEditor::PartsOf(const std::string& address) {
    std::array<std::string, 4> parts;
    size_t start = 0;
    for (size_t part = 0; part < parts.size(); ++part) {
        const size_t end = part + 1 < parts.size() ? address.find('.', start) : address.size();
        if (end == std::string::npos) {
            return std::nullopt;
        }
        parts[part] = address.substr(start, end - start);
        if (!IsAddressPart(parts[part])) {
            return std::nullopt;
        }
        start = end + 1;
    }
    return parts;
}

Edit AddressEditor::Remove(std::optional<size_t> selected) {
    if (rows_.empty()) {
        RemoveFileAtCommit();
        return Edit::kDone;
    }
    return RemoveAt(selected);
}

DocumentEditor::DocumentEditor(const config::ProgramFolder& folder)
    : RecordList(folder.ListFilePath(config::kDefaultList), 1) {}

bool DocumentEditor::SameEntry(const config::Record& listed, const config::Record& added) const {
    return listed[0] == added[0];  // file names differ by letter case here
}

Edit DocumentEditor::Add(const std::string& name) {
    if (name.empty()) {
        return Edit::kNameMissing;
    }
    return Put({name});
}

Edit DocumentEditor::Remove(std::optional<size_t> selected) {
    return RemoveAt(selected);
}

std::optional<size_t> DocumentEditor::MoveUp(std::optional<size_t> selected) {
    if (!IsRow(selected) || *selected == 0) {
        return std::nullopt;
    }
    std::swap(rows_[*selected], rows_[*selected - 1]);
    Changed();
    return *selected - 1;
}

std::optional<size_t> DocumentEditor::MoveDown(std::optional<size_t> selected) {
    if (!IsRow(selected) || *selected + 1 >= rows_.size()) {
        return std::nullopt;
    }
    std::swap(rows_[*selected], rows_[*selected + 1]);
    Changed();
    return *selected + 1;
}

MimeEditor::MimeEditor(const config::ProgramFolder& folder)
    : RecordList(folder.ListFilePath(config::kMimeList), 1) {}

namespace {

std::string_view ExtensionOf(const std::string& entry) {
    return std::string_view(entry).substr(0, entry.find(','));
}

}  // namespace

bool MimeEditor::SameEntry(const config::Record& listed, const config::Record& added) const {
    return config::EqualsIgnoringCase(ExtensionOf(listed[0]), ExtensionOf(added[0]));
}

std::array<std::string, 2> MimeEditor::Parts(const config::Record& record) {
    const config::MediaType type = config::MediaType::FromRecord(record);
    return {type.extension, type.type};
}

Edit MimeEditor::Add(const std::string& extension, const std::string& type) {
    return Store(extension, type, std::nullopt);
}

Edit MimeEditor::Change(size_t row, const std::string& extension, const std::string& type) {
    return Store(extension, type, row);
}

Edit MimeEditor::Store(const std::string& extension, const std::string& type,
                       std::optional<size_t> replacing) {
    std::string_view bare = config::TrimBlanks(extension);
    while (!bare.empty() && bare.front() == '.') {
        bare.remove_prefix(1);
    }
    if (bare.empty() || type.empty()) {
        return Edit::kPartMissing;
    }
    return Put({std::string(bare) + "," + type}, replacing);
}

Edit MimeEditor::Remove(std::optional<size_t> selected) {
    return RemoveAt(selected);
}

UserEditor::UserEditor(const config::ProgramFolder& folder)
    : RecordList(folder.ListFilePath(config::kUsersList), 2, config::kUsersListMode) {}

bool UserEditor::SameEntry(const config::Record& listed, const config::Record& added) const {
    return SameIgnoringCase(listed[0], added[0]);
}

Edit UserEditor::Add(const std::string& name, const std::string& password) {
    return Store(name, password, std::nullopt);
}

Edit UserEditor::Change(size_t row, const std::string& name, const std::string& password) {
    if (!IsRow(row)) {
        return Edit::kNothingSelected;
    }
    if (config::EqualsIgnoringCase(rows_[row][0], "ADMIN") && name != rows_[row][0]) {
        return Edit::kAdminRefused;
    }
    if (password.empty() && !name.empty()) {
        return Put({name, rows_[row][1]}, row);
    }
    return Store(name, password, row);
}

Edit UserEditor::Store(const std::string& name, const std::string& password,
                       std::optional<size_t> replacing) {
    if (name.empty()) {
        return Edit::kNameMissing;
    }
    if (password.empty()) {
        return Edit::kPasswordMissing;
    }
    const std::optional<std::string> hashed = responses::HashPassword(password);
    if (!hashed) {
        return Edit::kNotHashed;
    }
    return Put({name, *hashed}, replacing);
}

// A record without a password lets nobody in; hashing it would admit an
// empty one.
bool UserEditor::HasPasswordsInClear() const {
    return std::any_of(rows_.begin(), rows_.end(), [](const config::Record& row) {
        return responses::IsStoredInClear(row[1]);
    });
}

Edit UserEditor::ProtectPasswords() {
    std::vector<config::Record> rows = rows_;
    for (config::Record& row : rows) {
        if (responses::IsStoredInClear(row[1])) {
            const std::optional<std::string> hashed = responses::HashPassword(row[1]);
            if (!hashed) {
                return Edit::kNotHashed;
            }
            row[1] = *hashed;
        }
    }
    rows_ = std::move(rows);
    Changed();
    return Edit::kDone;
}

Edit UserEditor::Remove(std::optional<size_t> selected) {
    if (!IsRow(selected)) {
        return Edit::kNothingSelected;
    }
    const std::string name = rows_[*selected][0];
    if (config::EqualsIgnoringCase(name, "ADMIN")) {
        return Edit::kAdminRefused;
    }
    std::erase_if(rows_, [&](const config::Record& row) { return row[0] == name; });
    Changed();
    return Edit::kDone;
}

ListEditors::ListEditors(const config::ProgramFolder& folder, std::vector<std::string> ownAddresses)
    : directories(folder),
      documents(folder),
      mimeTypes(folder),
      blocked(folder, config::kBlockList, std::move(ownAddresses), true),
      barred(folder, config::kNoCgiList),
      users(folder) {}

std::optional<std::filesystem::path> ListEditors::CommitAll() {
    // Users first: a folder that names a user never arrives before the user.
    for (RecordList* list : std::initializer_list<RecordList*>{&users, &directories, &documents,
                                                               &mimeTypes, &blocked, &barred}) {
        if (!list->Commit()) {
            return list->Path();
        }
    }
    return std::nullopt;
}

}  // namespace quorvane::ui
