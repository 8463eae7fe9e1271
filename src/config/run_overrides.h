#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "config/config_snapshots.h"
#include "config/settings_file.h"

namespace quorvane::config {

// What one run of the program uses in place of its files, without writing
// them: `quorvane-server FOLDER --port N` shares a folder for as long as it
// runs and leaves the settings as they were.
struct RunOverrides {
    std::vector<SettingWrite> settings;  // each in place of the file's value
    // In place of dirs.lst: no virtual directory at all when empty.
    std::optional<std::vector<VirtualDirectory>> directories;

    bool Empty() const { return settings.empty() && !directories; }
};

// The configuration as read, with the run's overrides on top; made again
// only when the settings were read again.
class OverriddenConfiguration {
  public:
    explicit OverriddenConfiguration(RunOverrides overrides) : overrides_(std::move(overrides)) {}

    Configuration Apply(Configuration read);
    const RunOverrides& Overrides() const { return overrides_; }

  private:
    RunOverrides overrides_;
    std::shared_ptr<const Settings> read_;
    std::shared_ptr<const Settings> made_;
    std::shared_ptr<const Directories> directories_;
};

}  // namespace quorvane::config
