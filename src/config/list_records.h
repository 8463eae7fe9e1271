#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "config/list_file.h"

namespace quorvane::config {

// The list files' records as the server uses them, each read from its fields
// once per reading of the file, so no caller counts fields or compares words.

// A Yes/No field: only "Yes", letter for letter, is yes.
bool IsYes(std::string_view field);
std::string_view YesNo(bool yes);

// dirs.lst: a name the site is reached by, the folder it serves, and what
// holds there.
struct VirtualDirectory {
    static constexpr size_t kFields = 8;

    std::string name;    // "/" or "/docs/"
    std::string folder;  // as configured; a relative one lies in the program folder
    bool secure = false;
    bool scripts = false;   // ".pl" and ".cgi" names may run
    bool programs = false;  // ".exe" names may run
    // Two later fields, "No" where a record of five fields lacks them.
    bool uploads = false;  // visitors may add files and folders
    bool changes = false;  // visitors may overwrite, rename, move and delete
    // Who may enter a secure folder, as users.lst names them; none means
    // every user. Written as one field of names apart by spaces, and left
    // out when empty, so a record without it keeps its meaning.
    std::vector<std::string> users;

    static VirtualDirectory FromRecord(const Record& record);
    Record ToRecord() const;
    // Whether the user (signed in) may enter, when the folder is secure.
    bool Admits(std::string_view user) const;
    bool operator==(const VirtualDirectory&) const = default;
};

// users.lst: a user and the password that signs them in.
struct UserAccount {
    static constexpr size_t kFields = 2;

    std::string name;
    std::string password;

    static UserAccount FromRecord(const Record& record);
    Record ToRecord() const;
    bool operator==(const UserAccount&) const = default;
};

// mime.lst: one field "extension,type", split at its first comma.
struct MediaType {
    static constexpr size_t kFields = 1;

    std::string extension;
    std::string type;

    static MediaType FromRecord(const Record& record);
    Record ToRecord() const;
    bool operator==(const MediaType&) const = default;
};

// The typed records of a list file's text.
std::vector<VirtualDirectory> ParseDirectories(std::string_view text);
std::vector<UserAccount> ParseUsers(std::string_view text);
std::vector<MediaType> ParseMediaTypes(std::string_view text);  // without unsplittable records
// default.lst, iplist.lst, nocgi.lst: one text per record.
std::vector<std::string> ParseSingleFields(std::string_view text);

// The same, read from a file as it is now; none when it is missing or unreadable.
std::vector<VirtualDirectory> ReadDirectories(const std::filesystem::path& path);
std::vector<UserAccount> ReadUsers(const std::filesystem::path& path);

}  // namespace quorvane::config
