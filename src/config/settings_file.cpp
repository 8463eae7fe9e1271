#include "config/settings_file.h"

#include <algorithm>
#include <optional>

#include "config/atomic_file.h"
#include "config/text.h"

namespace quorvane::config {

namespace {

// Splits text at LF, dropping one CR before each LF; a final line without
// an end counts as a line.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

// The section name of a "[name]" line.
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = TrimBlanks(line);
    if (line.size() < 2 || line.front() != '[') {
        return std::nullopt;
    }
    const size_t close = line.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return TrimBlanks(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> KeyOf(std::string_view line) {
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#' ||
        trimmed.front() == '[') {
        return std::nullopt;
    }
    const size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return KeyLine{TrimBlanks(trimmed.substr(0, equals)), TrimBlanks(trimmed.substr(equals + 1))};
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

Settings Settings::Load(const std::filesystem::path& path) {
    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text) {
        return Settings{};
    }
    return Parse(*text);
}

Settings Settings::Parse(std::string_view text) {
    Settings settings;
    settings.found_ = true;
    std::string section;
    for (std::string_view line : SplitLines(text)) {
        if (const auto name = SectionOf(line)) {
            section = std::string(*name);
        } else if (const auto entry = KeyOf(line)) {
            settings.entries_.push_back(
                {section, std::string(entry->key), std::string(Unquote(entry->value))});
        }
    }
    return settings;
}

std::string Settings::Read(std::string_view section, std::string_view key,
                           std::string_view fallback) const {
    // The first line of a key decides, as with the platform's own INI reader.
    for (const Entry& entry : entries_) {
        if (EqualsIgnoringCase(entry.section, section) && EqualsIgnoringCase(entry.key, key)) {
            return entry.value;
        }
    }
    return std::string(fallback);
}

Settings Settings::With(std::span<const SettingWrite> writes) const {
    Settings changed;
    changed.found_ = found_;
    // The first line of a key decides, so the writes go first.
    for (const SettingWrite& write : writes) {
        changed.entries_.push_back({write.section, write.key, write.value});
    }
    changed.entries_.insert(changed.entries_.end(), entries_.begin(), entries_.end());
    return changed;
}

std::string ApplySettingWrites(std::string_view text, std::span<const SettingWrite> writes) {
    std::vector<std::string> lines;
    for (std::string_view line : SplitLines(text)) {
        lines.emplace_back(line);
    }
    for (const SettingWrite& write : writes) {
        const std::string newLine = write.key + "=" + write.value;
        // Find the section, its key line, and the last non-blank line of it.
        std::optional<size_t> sectionStart;
        std::optional<size_t> keyLine;
        size_t lastContent = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (const auto name = SectionOf(lines[i])) {
                if (sectionStart) {
                    break;
                }
                if (EqualsIgnoringCase(*name, write.section)) {
                    sectionStart = i;
                    lastContent = i;
                }
                continue;
            }
            if (!sectionStart) {
                continue;
            }
            if (!TrimBlanks(lines[i]).empty()) {
                lastContent = i;
            }
            if (const auto entry = KeyOf(lines[i]);
                entry && EqualsIgnoringCase(entry->key, write.key)) {
                keyLine = i;
                break;
            }
        }
        if (keyLine) {
            lines[*keyLine] = newLine;
        } else if (sectionStart) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastContent) + 1, newLine);
        } else {
            if (!lines.empty() && !TrimBlanks(lines.back()).empty()) {
                lines.emplace_back();
            }
            lines.push_back("[" + write.section + "]");
            lines.push_back(newLine);
        }
    }
    std::string result;
    for (const std::string& line : lines) {
        result += line;
        result += "\r\n";
    }
    return result;
}

bool WriteSettings(const std::filesystem::path& path, std::span<const SettingWrite> writes) {
    const bool storable = std::none_of(writes.begin(), writes.end(), [](const SettingWrite& w) {
        return HasLineBreak(w.section) || HasLineBreak(w.key) || HasLineBreak(w.value);
    });
    if (!storable) {
        return false;
    }
    const std::optional<std::string> current = ReadWholeFile(path);
    std::error_code error;
    if (!current && std::filesystem::exists(path, error)) {
        return false;  // present but unreadable: never replace what we could not read
    }
    return ReplaceFileContent(path, ApplySettingWrites(current.value_or(""), writes));
}

bool WriteSetting(const std::filesystem::path& path, std::string_view section, std::string_view key,
                  std::string_view value) {
    const SettingWrite write{std::string(section), std::string(key), std::string(value)};
    return WriteSettings(path, std::span<const SettingWrite>(&write, 1));
}

}  // namespace quorvane::config
