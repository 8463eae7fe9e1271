#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quorvane::app {

// Where the program folder is: the folder named on the command line; else
// the executable's own folder when the settings file lies beside it
// (portable use, as in the build tree); else the per-user folder
// $XDG_CONFIG_HOME/quorvane. A chosen folder without a settings file is
// filled with the installed samples, so the first start of an installed
// program finds a working configuration and never writes beside the
// executable.
class FolderChoice {
  public:
    struct Places {
        std::filesystem::path executableFolder;
        std::filesystem::path samplesFolder;             // the installed sample configuration
        std::optional<std::filesystem::path> requested;  // --folder
        // The environment's values, handed in; empty when unset.
        std::string xdgConfigHome;
        std::string home;
    };

    enum class Kind { kRequested, kPortable, kPerUser };

    struct Result {
        Kind kind = Kind::kPerUser;
        std::filesystem::path folder;
        bool created = false;  // the folder did not exist before
        bool filled = false;   // the samples were copied in just now
        std::string problem;   // why no folder can be used; empty when it can
    };

    explicit FolderChoice(Places places);

    // Picks the folder and fills it from the samples when it has no settings file yet.
    Result Choose() const;

    // A line for the log view about the filling, or empty when none was done.
    std::string Notice(const Result& result) const;

    // $XDG_CONFIG_HOME/quorvane when that is an absolute path, else
    // ~/.config/quorvane; nothing when neither variable helps.
    static std::optional<std::filesystem::path> PerUserFolder(const std::string& xdgConfigHome,
                                                              const std::string& home);

  private:
    std::string FillFromSamples(const std::filesystem::path& folder, bool& created) const;

    Places places_;
};

}  // namespace quorvane::app
