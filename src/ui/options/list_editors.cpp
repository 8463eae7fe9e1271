#include "ui/options/list_editors.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "config/list_files.h"
#include "config/list_records.h"
#include "config/text.h"
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

bool RecordList::Save() const {
    return config::WriteRecords(path_, rows_, newFileMode_);
}

void RecordList::Delete() const {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

Edit RecordList::Append(config::Record record) {
    for (const std::string& field : record) {
        if (!config::IsStorableField(field)) {
            return Edit::kUnstorable;
        }
    }
    if (std::any_of(rows_.begin(), rows_.end(),
                    [&](const config::Record& row) { return SameEntry(row, record); })) {
        return Edit::kDuplicate;
    }
    rows_.push_back(std::move(record));
    if (!Save()) {
        rows_.pop_back();
        return Edit::kWriteFailed;
    }
    return Edit::kDone;
}

Edit RecordList::RemoveAt(std::optional<size_t> selected) {
    if (!selected || *selected >= rows_.size()) {
        return Edit::kNothingSelected;
    }
    const config::Record removed = rows_[*selected];
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(*selected));
    if (!Save()) {
        rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(*selected), removed);
        return Edit::kWriteFailed;
    }
    return Edit::kDone;
}

VirtualDirectoryEditor::VirtualDirectoryEditor(const config::ProgramFolder& folder)
    : RecordList(folder.ListFilePath(config::kDirsList), config::VirtualDirectory::kFields),
      folder_(folder) {
    // A record of five fields lacks the two write fields, which mean "No";
    // an empty users field (every user) is left out, as the record writes it.
    for (config::Record& row : rows_) {
        row = config::VirtualDirectory::FromRecord(row).ToRecord();
    }
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
    return Append(directory.ToRecord());
}

Edit VirtualDirectoryEditor::Remove(std::optional<size_t> selected) {
    if (selected && *selected < rows_.size() && rows_[*selected][0] == "/") {
        return Edit::kRootRefused;
    }
    return RemoveAt(selected);
}

void VirtualDirectoryEditor::ApplyHomeDirectory(const config::VirtualDirectory& root) {
    for (config::Record& row : rows_) {
        if (config::StartsWith(row[0], "/")) {
            config::VirtualDirectory updated = root;
            updated.name = row[0];
            row = updated.ToRecord();
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
    if (std::any_of(rows_.begin(), rows_.end(),
                    [&](const config::Record& row) { return row[0] == address; })) {
        return Edit::kDuplicate;  // before the question: a listed address needs none
    }
    if (guardOwnAddresses_ && !ownAddressConfirmed && IsOwnAddress(address, ownAddresses_)) {
        return Edit::kOwnAddress;
    }
    return Append({address});
}

Edit AddressEditor::Remove(std::optional<size_t> selected) {
    if (rows_.empty()) {
        Delete();
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
    return Append({name});
}

Edit DocumentEditor::Remove(std::optional<size_t> selected) {
    return RemoveAt(selected);
}

std::optional<size_t> DocumentEditor::MoveUp(std::optional<size_t> selected) {
    if (!selected || *selected == 0 || *selected >= rows_.size()) {
        return std::nullopt;
    }
    std::swap(rows_[*selected], rows_[*selected - 1]);
    Save();
    return *selected - 1;
}

std::optional<size_t> DocumentEditor::MoveDown(std::optional<size_t> selected) {
    if (!selected || *selected + 1 >= rows_.size()) {
        return std::nullopt;
    }
    std::swap(rows_[*selected], rows_[*selected + 1]);
    Save();
    return *selected + 1;
}

void DocumentEditor::SaveOrDelete() const {
    if (rows_.empty()) {
        Delete();
    } else {
        Save();
    }
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

Edit MimeEditor::Add(const std::string& extension, const std::string& type) {
    std::string_view bare = config::TrimBlanks(extension);
    while (!bare.empty() && bare.front() == '.') {
        bare.remove_prefix(1);
    }
    if (bare.empty() || type.empty()) {
        return Edit::kPartMissing;
    }
    return Append({std::string(bare) + "," + type});
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
    if (name.empty()) {
        return Edit::kNameMissing;
    }
    if (password.empty()) {
        return Edit::kPasswordMissing;
    }
    return Append({name, password});
}

Edit UserEditor::Remove(std::optional<size_t> selected) {
    if (!selected || *selected >= rows_.size()) {
        return Edit::kNothingSelected;
    }
    const std::string name = rows_[*selected][0];
    if (config::EqualsIgnoringCase(name, "ADMIN")) {
        return Edit::kAdminRefused;
    }
    const std::vector<config::Record> before = rows_;
    std::erase_if(rows_, [&](const config::Record& row) { return row[0] == name; });
    if (!Save()) {
        rows_ = before;
        return Edit::kWriteFailed;
    }
    return Edit::kDone;
}

}  // namespace quorvane::ui
