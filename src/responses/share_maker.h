#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>

#include "config/program_folder.h"
#include "config/share_links.h"

namespace quorvane::responses {

// What the owner asks a new link to share, and for how long.
struct ShareWish {
    std::filesystem::path path;  // a file or folder on disk
    config::ShareLifetime lifetime;
    std::optional<uint64_t> downloads;  // none: no limit
    std::string note;
};

// A link made and stored: the token is known only here and to whoever the
// owner gives it.
struct MadeShare {
    std::string token;
    config::ShareLink link;
};

// Makes the link and adds it to shares.lst, when the path is a file or
// folder inside a served folder (and none of the program's own files);
// otherwise the problem, in words for the owner.
std::variant<MadeShare, std::string> MakeShare(const config::ProgramFolder& folder,
                                               const ShareWish& wish,
                                               std::chrono::system_clock::time_point now);

}  // namespace quorvane::responses
