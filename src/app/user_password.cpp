#include "app/user_password.h"

#include <optional>
#include <system_error>
#include <vector>

#include "config/atomic_file.h"
#include "config/list_file.h"
#include "config/list_files.h"
#include "config/list_records.h"
#include "config/text.h"
#include "responses/password_hash.h"

namespace quorvane::app {

std::string UserNameProblem(std::string_view name) {
    if (name.empty()) {
        return "the user name is empty";
    }
    if (!config::IsStorableField(name)) {
        return "a user name cannot hold a double quote or a line break";
    }
    if (name.find(':') != std::string_view::npos) {
        return "a user name cannot hold a colon";
    }
    return {};
}

std::string StoreUserPassword(const std::filesystem::path& usersList, const std::string& name,
                              std::string_view password, bool& replaced) {
    if (std::string problem = UserNameProblem(name); !problem.empty()) {
        return problem;
    }
    if (password.empty()) {
        return "the password is empty";
    }
    // A list that is there but cannot be read is never replaced by a shorter one.
    std::error_code error;
    const bool exists = std::filesystem::exists(usersList, error);
    const std::optional<std::string> text = config::ReadWholeFile(usersList);
    if (error || (exists && !text)) {
        return "cannot read " + usersList.string();
    }
    const std::optional<std::string> hashed = responses::HashPassword(password);
    if (!hashed) {
        return "the password could not be hashed";
    }
    std::vector<config::Record> records;
    replaced = false;
    for (config::UserAccount& user : config::ParseUsers(text.value_or(""))) {
        if (config::EqualsIgnoringCase(user.name, name)) {
            user.password = *hashed;
            replaced = true;
        }
        records.push_back(user.ToRecord());
    }
    if (!replaced) {
        records.push_back({name, *hashed});
    }
    if (!config::WriteRecords(usersList, records, config::kUsersListMode)) {
        return "cannot write " + usersList.string();
    }
    return {};
}

}  // namespace quorvane::app
