#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::config {

// One reading of the settings file. A request takes one snapshot and asks it
// for every key it needs, so a request sees either the file before an Update
// or the file after it, never a mix.
struct SettingWrite {
    std::string section;
    std::string key;
    std::string value;
};

class Settings {
  public:
    Settings() = default;
    static Settings Load(const std::filesystem::path& path);
    static Settings Parse(std::string_view text);

    bool FileFound() const { return found_; }

    // The stored value of the key, whole, without blanks around it and
    // without one pair of enclosing quotation marks; `fallback` when the key,
    // its section or the file is missing. Names ignore letter case.
    std::string Read(std::string_view section, std::string_view key,
                     std::string_view fallback) const;
    // The same settings with the writes' values in place of the file's.
    Settings With(std::span<const SettingWrite> writes) const;

  private:
    struct Entry {
        std::string section;
        std::string key;
        std::string value;
    };
    std::vector<Entry> entries_;
    bool found_ = false;
};

// Sets each key in place (or at the end of its section, or in a new section at
// the end of the file), keeping every other line as it was, and replaces the
// file in one step. A value holding a line break cannot be stored: nothing is
// written and the result is false, as it is when the file cannot be written.
bool WriteSettings(const std::filesystem::path& path, std::span<const SettingWrite> writes);
bool WriteSetting(const std::filesystem::path& path, std::string_view section, std::string_view key,
                  std::string_view value);

// The text of a file after the writes; exposed for the writer's tests.
std::string ApplySettingWrites(std::string_view text, std::span<const SettingWrite> writes);

}  // namespace quorvane::config
