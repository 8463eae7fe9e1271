#include "ui/control/folder_share.h"

#include <algorithm>
#include <system_error>

#include "config/atomic_file.h"
#include "config/list_file.h"
#include "config/text.h"
#include "ui/options/list_editors.h"

namespace quorvane::ui {

namespace {

bool UrlSafe(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
           c == '~';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool HasSpace(std::string_view text) {
    return text.find_first_of(" \t") != std::string_view::npos;
}

}  // namespace

std::string ShareName(std::string_view folderName) {
    std::string name;
    for (const char c : folderName) {
        const char lower = Lower(c);
        if (c == ' ' || c == '-') {
            // Runs of spaces and dashes read as one.
            if (!name.empty() && name.back() != '-') {
                name += '-';
            }
        } else if (UrlSafe(lower)) {
            name += lower;
        }
    }
    const size_t first = name.find_first_not_of("-.");
    if (first == std::string::npos) {
        return "share";
    }
    const size_t last = name.find_last_not_of("-.");
    return name.substr(first, last - first + 1);
}

std::string UniqueShareName(const std::string& name, const std::vector<std::string>& taken) {
    auto used = [&taken](const std::string& candidate) {
        return std::any_of(taken.begin(), taken.end(), [&](const std::string& record) {
            return config::EqualsIgnoringCase(record, "/" + candidate + "/");
        });
    };
    std::string candidate = name;
    // Each name takes one record, so among taken.size() + 1 numbers one is free.
    for (size_t number = 2; used(candidate) && number <= taken.size() + 2; ++number) {
        candidate = name + "-" + std::to_string(number);
    }
    return candidate;
}

std::string SharedFolderUrl(std::string_view lanUrl, std::string_view localUrl,
                            std::string_view name) {
    return std::string(lanUrl.empty() ? localUrl : lanUrl) + "/" + std::string(name) + "/";
}

FolderShare::FolderShare(config::ProgramFolder folder) : folder_(std::move(folder)) {}

std::vector<std::string> FolderShare::TakenNames() const {
    std::vector<std::string> names;
    for (const config::VirtualDirectory& record :
         config::ReadDirectories(folder_.ListFilePath(config::kDirsList))) {
        names.push_back(record.name);
    }
    return names;
}

std::string FolderShare::SuggestName(const std::filesystem::path& folder) const {
    // "/photos/" names its folder "photos" too.
    const std::filesystem::path named =
        folder.has_filename() ? folder.filename() : folder.parent_path().filename();
    return UniqueShareName(ShareName(named.string()), TakenNames());
}

std::vector<std::string> FolderShare::Users() const {
    std::vector<std::string> names;
    for (const config::UserAccount& user :
         config::ReadUsers(folder_.ListFilePath(config::kUsersList))) {
        // A folder names its users apart by spaces, so such a name cannot be chosen.
        if (!HasSpace(user.name)) {
            names.push_back(user.name);
        }
    }
    return names;
}

std::string FolderShare::AddUser(const std::string& name, const std::string& password) const {
    if (HasSpace(name)) {
        return "A user name cannot hold a space.";
    }
    UserEditor users(folder_);
    switch (users.Add(name, password)) {
        case Edit::kDone:
            return users.Commit() ? "" : "users.lst could not be written.";
        case Edit::kNameMissing:
            return "Enter the user's name.";
        case Edit::kPasswordMissing:
            return "Enter a password.";
        case Edit::kDuplicate:
            return "There is already a user of that name.";
        case Edit::kUnstorable:
            return "A name or password cannot hold a double quote or a line break.";
        default:
            return "users.lst could not be written.";
    }
}

config::VirtualDirectory FolderShare::Record(const ShareChoice& choice) {
    return {.name = "/" + choice.name + "/",
            .folder = choice.folder.string(),
            .secure = !choice.users.empty(),
            .uploads = choice.uploads,
            .changes = choice.changes,
            .users = choice.users};
}

ShareOutcome FolderShare::Share(const ShareChoice& choice, config::VirtualDirectory& shared) const {
    std::error_code error;
    if (!choice.folder.is_absolute() || !std::filesystem::is_directory(choice.folder, error)) {
        return ShareOutcome::kFolderMissing;
    }
    if (choice.name.empty() || ShareName(choice.name) != choice.name) {
        return ShareOutcome::kNameMissing;
    }
    if (UniqueShareName(choice.name, TakenNames()) != choice.name) {
        return ShareOutcome::kNameTaken;
    }
    const std::vector<std::string> known = Users();
    for (const std::string& user : choice.users) {
        if (std::find(known.begin(), known.end(), user) == known.end()) {
            return ShareOutcome::kUserUnknown;
        }
    }
    // The list as it is now, whole: a list that cannot be read is not
    // replaced by one that lacks its records.
    const std::filesystem::path path = folder_.ListFilePath(config::kDirsList);
    const std::optional<std::string> text = config::ReadWholeFile(path);
    if (!text) {
        return ShareOutcome::kWriteFailed;
    }
    std::vector<config::Record> records;
    for (const config::VirtualDirectory& listed : config::ParseDirectories(*text)) {
        records.push_back(listed.ToRecord());
    }
    const config::VirtualDirectory record = Record(choice);
    records.push_back(record.ToRecord());
    if (!config::WriteRecords(path, records)) {
        return ShareOutcome::kWriteFailed;
    }
    shared = record;
    return ShareOutcome::kShared;
}

std::string_view ShareOutcomeText(ShareOutcome outcome) {
    switch (outcome) {
        case ShareOutcome::kShared:
            return "";
        case ShareOutcome::kFolderMissing:
            return "Choose a folder that exists.";
        case ShareOutcome::kNameMissing:
            return "The name in the URL may hold lower-case letters, digits, \"-\", \"_\", \".\" "
                   "and \"~\", and must not begin or end with \"-\" or \".\".";
        case ShareOutcome::kNameTaken:
            return "Another folder is shared under this name: choose another.";
        case ShareOutcome::kUserUnknown:
            return "A chosen user is no longer in the user list.";
        case ShareOutcome::kWriteFailed:
            return "dirs.lst could not be written.";
    }
    return "";
}

}  // namespace quorvane::ui
