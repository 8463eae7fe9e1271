#include "ui/options/list_editors.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "config/list_files.h"
#include "config/text.h"

namespace quorvane::ui {

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return config::EqualsIgnoringCase(a, b);
}

const char* YesNo(bool value) {
    return value ? "Yes" : "No";
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

bool RecordList::Contains(const std::string& text,
                          bool (*same)(const std::string&, const std::string&)) const {
    return std::any_of(rows_.begin(), rows_.end(),
                       [&](const config::Record& row) { return same(row.front(), text); });
}

VirtualDirectoryEditor::VirtualDirectoryEditor(const config::ProgramFolder& folder)
    : RecordList(folder.ListFilePath(config::kDirsList), 5) {}

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

Edit VirtualDirectoryEditor::Add(const std::string& name, const std::string& location, bool secure,
                                 bool script, bool exe) {
    if (name.empty()) {
        return Edit::kNameMissing;
    }
    if (location.empty()) {
        return Edit::kLocationMissing;
    }
    const std::string normal = NormaliseName(name);
    if (Contains(normal, SameIgnoringCase)) {
        return Edit::kDuplicate;
    }
    return Append({normal, location, YesNo(secure), YesNo(script), YesNo(exe)});
}

Edit VirtualDirectoryEditor::Remove(std::optional<size_t> selected) {
    if (selected && *selected < rows_.size() && rows_[*selected][0] == "/") {
        return Edit::kRootRefused;
    }
    return RemoveAt(selected);
}

void VirtualDirectoryEditor::ApplyHomeDirectory(const std::string& folder, bool secure, bool script,
                                                bool exe) {
    for (config::Record& row : rows_) {
        if (config::StartsWith(row[0], "/")) {
            row[1] = folder;
            row[2] = YesNo(secure);
            row[3] = YesNo(script);
            row[4] = YesNo(exe);
            return;
        }
    }
}

AddressEditor::AddressEditor(const config::ProgramFolder& folder, std::string_view listName)
    : RecordList(folder.ListFilePath(listName), 1) {}

Edit AddressEditor::Add(const std::array<std::string, 4>& parts) {
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
    if (Contains(address, [](const std::string& a, const std::string& b) { return a == b; })) {
        return Edit::kDuplicate;
    }
    return Append({address});
}

Edit AddressEditor::Remove(std::optional<size_t> selected) {
    return RemoveAt(selected);
}

DocumentEditor::DocumentEditor(const config::ProgramFolder& folder)
    : RecordList(folder.ListFilePath(config::kDefaultList), 1) {}

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

Edit MimeEditor::Add(const std::string& extension, const std::string& type) {
    if (extension.empty() || type.empty()) {
        return Edit::kPartMissing;
    }
    return Append({extension + "," + type});
}

Edit MimeEditor::Remove(std::optional<size_t> selected) {
    return RemoveAt(selected);
}

UserEditor::UserEditor(const config::ProgramFolder& folder)
    : RecordList(folder.ListFilePath(config::kUsersList), 2, config::kUsersListMode) {}

Edit UserEditor::Add(const std::string& name, const std::string& password) {
    if (name.empty()) {
        return Edit::kNameMissing;
    }
    if (password.empty()) {
        return Edit::kPasswordMissing;
    }
    if (Contains(name, SameIgnoringCase)) {
        return Edit::kDuplicate;
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
