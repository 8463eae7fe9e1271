#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/list_records.h"
#include "config/program_folder.h"

namespace quorvane::ui {

// The name a folder gets in its URL, made from the folder's own name: lower
// case, spaces as "-", only the characters a URL carries as they are
// (letters, digits, "-", "_", "." and "~"); no leading or trailing "-" or
// ".", so it is never "." or "..". "share" when nothing is left.
std::string ShareName(std::string_view folderName);

// The name, or the first of name-2, name-3, ... that no taken record name
// ("/name/", letter case ignored, as dirs.lst compares them) uses.
std::string UniqueShareName(const std::string& name, const std::vector<std::string>& taken);

// The URL of a shared folder below the site's URL, as the Information tab
// picks it: the network URL when other devices can reach the site, else the
// local one.
std::string SharedFolderUrl(std::string_view lanUrl, std::string_view localUrl,
                            std::string_view name);

// What the Share dialog asks: the folder, its name in the URL, who may open
// it (nobody named: anyone, without a password) and what visitors may do.
struct ShareChoice {
    std::filesystem::path folder;
    std::string name;
    std::vector<std::string> users;
    bool uploads = false;
    bool changes = false;
};

enum class ShareOutcome {
    kShared,
    kFolderMissing,
    kNameMissing,  // nothing URL-safe in it
    kNameTaken,
    kUserUnknown,
    kWriteFailed,
};

// Sharing one folder of the program folder's site in one step: the name it
// is offered under, the users who may be chosen, and the dirs.lst record.
class FolderShare {
  public:
    explicit FolderShare(config::ProgramFolder folder);

    // The folder's name made URL-safe and unused.
    std::string SuggestName(const std::filesystem::path& folder) const;
    // Who users.lst names, in its order.
    std::vector<std::string> Users() const;
    // Adds a user to users.lst; the problem in words, or empty when added.
    std::string AddUser(const std::string& name, const std::string& password) const;

    // The record the choice makes: secure, for the chosen users only, when
    // any are chosen; never a place where names run.
    static config::VirtualDirectory Record(const ShareChoice& choice);
    // Checks the choice and appends its record to dirs.lst; `shared` gets
    // the record as written.
    ShareOutcome Share(const ShareChoice& choice, config::VirtualDirectory& shared) const;

  private:
    std::vector<std::string> TakenNames() const;
    config::ProgramFolder folder_;
};

// The outcome in words for a message box.
std::string_view ShareOutcomeText(ShareOutcome outcome);

}  // namespace quorvane::ui
