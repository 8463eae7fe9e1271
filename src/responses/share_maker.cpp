#include "responses/share_maker.h"

#include <sys/stat.h>

#include "config/list_records.h"
#include "config/settings_file.h"
#include "responses/path_facts.h"
#include "responses/resolution.h"

namespace quorvane::responses {

std::variant<MadeShare, std::string> MakeShare(const config::ProgramFolder& folder,
                                               const ShareWish& wish,
                                               std::chrono::system_clock::time_point now) {
    const std::string shown = wish.path.string();
    const std::optional<std::filesystem::path> real =
        RealPathNow(std::filesystem::absolute(wish.path));
    struct stat info {};
    if (!real || ::stat(real->c_str(), &info) != 0 ||
        !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))) {
        return shown + " is neither a file nor a folder.";
    }
    const config::Settings settings = config::Settings::Load(folder.SettingsPath());
    const std::vector<config::VirtualDirectory> dirs =
        config::ReadDirectories(folder.ListFilePath(config::kDirsList));
    static const std::vector<std::string> kNoDefaults;
    const ResolveContext context{dirs, kNoDefaults, settings, folder};
    if (OwnFilesWithKey(folder, settings, nullptr).Contains(info)) {
        return shown + " is one of the server's own files.";
    }
    if (!LiesInServedFolder(*real, context)) {
        return shown + " is not inside a folder the site serves.";
    }
    if (!config::IsStorableField(real->string()) || !config::IsStorableField(wish.note)) {
        return "A name or note with a quotation mark or a line break cannot be stored.";
    }
    MadeShare made{config::MakeShareToken(), {}};
    made.link = {.tokenHash = config::HashShareToken(made.token),
                 .path = real->string(),
                 .created = std::chrono::time_point_cast<std::chrono::seconds>(now),
                 .downloadsLeft = wish.downloads,
                 .note = wish.note};
    if (wish.lifetime.length) {
        made.link.expires = made.link.created + *wish.lifetime.length;
    }
    if (!config::SharesFile(folder.ListFilePath(config::kSharesList)).Add(made.link)) {
        return "The link could not be stored in " +
               folder.ListFilePath(config::kSharesList).string() + ".";
    }
    return made;
}

}  // namespace quorvane::responses
