#include "support/temp_folder.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <algorithm>
#include <fstream>
#include <span>
#include <sstream>
#include <stdexcept>

#include "config/list_file.h"
#include "responses/password_hash.h"

namespace quorvane::testing {

TempFolder::TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quorvane-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempFolder::Write(std::string_view relative, std::string_view content) const {
    const std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    return file;
}

std::string TempFolder::Read(std::string_view relative) const {
    std::ifstream in(path_ / relative, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::filesystem::path TempFolder::WriteScript(std::string_view relative, std::string_view body,
                                              std::string_view interpreter) const {
    const std::filesystem::path file =
        Write(relative, "#!" + std::string(interpreter) + "\n" + std::string(body));
    std::filesystem::permissions(file, std::filesystem::perms(0755));
    return file;
}

std::filesystem::path TempFolder::WriteSettings(
    std::initializer_list<config::SettingWrite> keys) const {
    return Write(config::kSettingsFileName,
                 config::ApplySettingWrites("", std::span(keys.begin(), keys.size())));
}

namespace {

template <typename Typed>
std::string ListText(const std::vector<Typed>& records) {
    std::string text;
    for (const Typed& record : records) {
        text += config::FormatRecord(record.ToRecord());
    }
    return text;
}

}  // namespace

std::filesystem::path TempFolder::WriteDirs(
    const std::vector<config::VirtualDirectory>& dirs) const {
    return Write(config::kDirsList, ListText(dirs));
}

std::filesystem::path TempFolder::WriteUsers(const std::vector<config::UserAccount>& users) const {
    return Write(config::kUsersList, ListText(users));
}

std::string TempFolder::Users(std::initializer_list<std::string_view> typed) const {
    std::string shown;
    for (const config::UserAccount& user : config::ReadUsers(path_ / config::kUsersList)) {
        std::string password = user.password;
        if (responses::IsHashedPassword(password)) {
            const auto verified = std::find_if(typed.begin(), typed.end(), [&](auto candidate) {
                return responses::VerifyPassword(user.password, candidate);
            });
            if (verified != typed.end()) {
                password = "#" + std::string(*verified);
            }
        }
        shown += (shown.empty() ? "" : " ") + user.name + ":" + password;
    }
    return shown;
}

std::filesystem::path TempFolder::WriteAddresses(std::string_view list,
                                                 const std::vector<std::string>& addresses) const {
    std::string text;
    for (const std::string& address : addresses) {
        text += config::FormatRecord({address});
    }
    return Write(list, text);
}

std::vector<std::string> TempFolder::NamesStartingWith(std::string_view prefix) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        if (entry.path().filename().string().starts_with(prefix)) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

unsigned ModeOf(const std::filesystem::path& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
}

}  // namespace quorvane::testing
