#include "config/setting_keys.h"

#include <charconv>

#include "config/text.h"

namespace quorvane::config {

std::span<const SettingKey> AllSettings() {
    using namespace setting;
    // Kept as a table, which the formatter would unfold into one key a line.
    // clang-format off
    static const SettingKey kAll[] = {
        kPort,              kListen,            kHttpsPort,         kCertificateFile,
        kKeyFile,           kRedirectToHttps,   kAnnounce,          kRootDirectory,
        kSiteLocation,      kSecure,            kScriptAllowed,     kExeAllowed,
        kUploads,           kChanges,           kEnableFooter,      kFooterHtml,
        kDirectoryBrowsing, kListingStyle,      kRefreshOnRun,      kRefreshOnStop,
        kUserControlled,    kLogLimitMiB,       k401Error,          k404Error,
        k404_1Error,        k404_2Error,        k404_3Error,        k404_4Error,
        kContentExpires,    kInterval,          kDuration,          kIntervalType,
        kCgiEnabled,        kEnablePerl,        kPerlLocation,      kScriptTimeout,
        kKeepFreeMiB,       kMaxFileMiB,        kMinimise,          kAutoStart,
        kRebuildDefault,    kRebuildMime,       kRebuildDirs,
    };
    // clang-format on
    return kAll;
}

std::optional<long> NumberIn(const SettingKey& key, std::string_view text) {
    const std::string_view trimmed = TrimBlanks(text);
    long value = 0;
    const auto [end, error] =
        std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (trimmed.empty() || error != std::errc() || end != trimmed.data() + trimmed.size() ||
        value < key.min || value > key.max) {
        return std::nullopt;
    }
    return value;
}

long NumberValue(const Settings& settings, const SettingKey& key) {
    if (const std::optional<long> value = NumberIn(key, ServerValue(settings, key))) {
        return *value;
    }
    return NumberIn(key, key.serverDefault).value_or(key.min);
}

std::span<const ErrorPageSetting> ErrorPageSettings() {
    using namespace setting;
    static const ErrorPageSetting kPages[] = {
        {"401", &k401Error},     {"404", &k404Error},     {"404.1", &k404_1Error},
        {"404.2", &k404_2Error}, {"404.3", &k404_3Error}, {"404.4", &k404_4Error},
    };
    return kPages;
}

std::string ServerValue(const Settings& settings, const SettingKey& key) {
    return settings.Read(key.section, key.key, key.serverDefault);
}

std::string DialogValue(const Settings& settings, const SettingKey& key) {
    return settings.Read(key.section, key.key, key.dialogDefault);
}

bool IsModernListing(std::string_view value) {
    return EqualsIgnoringCase(TrimBlanks(value), "Modern");
}

bool IsOn(const Settings& settings, const SettingKey& key) {
    const std::string value = ServerValue(settings, key);
    switch (key.form) {
        case SettingForm::kFlagEqualsOne:
            return FlagEqualsOne(value);
        case SettingForm::kFlagNotZero:
            return FlagNotZero(value);
        case SettingForm::kTruthWord:
            return IsTruthWord(value);
        default:
            return false;  // not a switch
    }
}

SettingWrite Write(const SettingKey& key, std::string value) {
    return {std::string(key.section), std::string(key.key), std::move(value)};
}

}  // namespace quorvane::config
