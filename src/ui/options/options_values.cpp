#include "ui/options/options_values.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "config/setting_keys.h"
#include "config/text.h"

namespace quorvane::ui {

using config::EqualsIgnoringCase;
using config::StartsWith;

namespace {

const char* Flag(bool ticked) {
    return ticked ? "1" : "0";
}
const char* Truth(bool value) {
    return value ? "True" : "False";
}

}  // namespace

bool CheckBoxState(const config::SettingKey& key, const std::string& flag) {
    return key.form == config::SettingForm::kFlagNotZero ? config::FlagNotZero(flag)
                                                         : config::FlagEqualsOne(flag);
}

std::string FlagToWrite(const config::SettingKey& key, bool ticked, const std::string& stored) {
    return ticked && CheckBoxState(key, stored) ? stored : Flag(ticked);
}

std::optional<bool> LoggingTruth(const std::string& value) {
    const std::string_view trimmed = config::TrimBlanks(value);
    if (EqualsIgnoringCase(trimmed, "True")) {
        return true;
    }
    if (EqualsIgnoringCase(trimmed, "False")) {
        return false;
    }
    double number = 0;
    const auto [end, error] =
        std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), number);
    if (!trimmed.empty() && error == std::errc() && end == trimmed.data() + trimmed.size()) {
        return number != 0;
    }
    return std::nullopt;
}

bool IsPortNumber(const std::string& text) {
    return config::NumberIn(config::setting::kPort, text).has_value();
}

bool IsHttpsPortNumber(const std::string& text) {
    return config::NumberIn(config::setting::kHttpsPort, text).has_value();
}

bool IsWholeSeconds(const std::string& text) {
    return config::NumberIn(config::setting::kScriptTimeout, text).has_value();
}

bool IsLogLimit(const std::string& text) {
    return config::NumberIn(config::setting::kLogLimitMiB, text).has_value();
}

WriteBoxes ShownWriteBoxes(bool scripts, bool programs, bool uploads, bool changes) {
    if (scripts || programs) {
        return {.enabled = false};
    }
    return {.enabled = true, .uploads = uploads, .changes = changes};
}

int MiBBoxValue(const config::SettingKey& key, const std::string& stored) {
    std::optional<long> value = config::NumberIn(key, stored);
    if (!value) {
        value = config::NumberIn(key, key.serverDefault);
    }
    return static_cast<int>(std::clamp<long>(value.value_or(key.min), 0, kMiBBoxMax));
}

OptionsValues LoadOptions(const config::Settings& settings) {
    using namespace config::setting;
    OptionsValues values;
    auto read = [&](const config::SettingKey& key) { return config::DialogValue(settings, key); };
    values.docFooter = CheckBoxState(kEnableFooter, read(kEnableFooter));
    values.footerHtml = read(kFooterHtml);
    values.directoryBrowsing = CheckBoxState(kDirectoryBrowsing, read(kDirectoryBrowsing));
    values.modernListing = config::IsModernListing(read(kListingStyle));

    // Option buttons: setting one deselects the others, so the last one
    // that reads true is the one selected.
    const std::optional<bool> onRun = LoggingTruth(read(kRefreshOnRun));
    const std::optional<bool> onStop = LoggingTruth(read(kRefreshOnStop));
    const std::optional<bool> byUser = LoggingTruth(read(kUserControlled));
    if (onRun.value_or(false)) {
        values.refreshOnRun = true;
    }
    if (onStop.value_or(false)) {
        values.refreshOnRun = false;
        values.refreshOnStop = true;
    }
    if (byUser.value_or(false)) {
        values.refreshOnRun = values.refreshOnStop = false;
        values.userControlled = true;
    }

    values.logLimitMiB = read(kLogLimitMiB);
    values.secureSite = CheckBoxState(kSecure, read(kSecure));
    values.scriptAllowed = CheckBoxState(kScriptAllowed, read(kScriptAllowed));
    values.exeAllowed = CheckBoxState(kExeAllowed, read(kExeAllowed));
    values.uploads = CheckBoxState(kUploads, read(kUploads));
    values.changes = CheckBoxState(kChanges, read(kChanges));
    values.keepFreeMiB = read(kKeepFreeMiB);
    values.maxFileMiB = read(kMaxFileMiB);
    values.homePage = read(kRootDirectory);
    values.thisComputer = StartsWith(read(kSiteLocation), "Local");
    values.port = read(kPort);
    values.listen = read(kListen);
    values.announce = CheckBoxState(kAnnounce, read(kAnnounce));
    values.httpsPort = read(kHttpsPort);
    values.certificateFile = read(kCertificateFile);
    values.keyFile = read(kKeyFile);
    values.redirectToHttps = CheckBoxState(kRedirectToHttps, read(kRedirectToHttps));

    for (const config::ErrorPageSetting& page : config::ErrorPageSettings()) {
        values.errorPages.push_back({std::string(page.code), read(*page.key)});
    }

    values.contentExpires = CheckBoxState(kContentExpires, read(kContentExpires));
    values.expireAfter = StartsWith(read(kInterval), "After");
    values.duration = read(kDuration);
    values.intervalType = read(kIntervalType);

    values.enablePerl = CheckBoxState(kEnablePerl, read(kEnablePerl));
    values.perlLocation = read(kPerlLocation);
    values.cgiEnabled = CheckBoxState(kCgiEnabled, read(kCgiEnabled));
    values.scriptTimeout = read(kScriptTimeout);

    values.rebuildDefault = CheckBoxState(kRebuildDefault, read(kRebuildDefault));
    values.rebuildMime = CheckBoxState(kRebuildMime, read(kRebuildMime));
    values.rebuildDirs = CheckBoxState(kRebuildDirs, read(kRebuildDirs));
    values.stored = {.scriptAllowed = read(kScriptAllowed),
                     .exeAllowed = read(kExeAllowed),
                     .cgiEnabled = read(kCgiEnabled),
                     .enablePerl = read(kEnablePerl)};
    return values;
}

std::vector<config::SettingWrite> UpdateWrites(const OptionsValues& values) {
    using namespace config::setting;
    using config::Write;
    std::vector<config::SettingWrite> writes = {
        Write(kEnableFooter, Flag(values.docFooter)),
        Write(kFooterHtml, values.footerHtml),
        Write(kDirectoryBrowsing, Flag(values.directoryBrowsing)),
        Write(kListingStyle, values.modernListing ? "Modern" : "Classic"),
        Write(kRefreshOnRun, Truth(values.refreshOnRun)),
        Write(kRefreshOnStop, Truth(values.refreshOnStop)),
        Write(kUserControlled, Truth(values.userControlled)),
        Write(kLogLimitMiB, values.logLimitMiB),
        Write(kSecure, Flag(values.secureSite)),
        Write(kScriptAllowed,
              FlagToWrite(kScriptAllowed, values.scriptAllowed, values.stored.scriptAllowed)),
        Write(kExeAllowed, FlagToWrite(kExeAllowed, values.exeAllowed, values.stored.exeAllowed)),
        Write(kUploads, Flag(values.uploads)),
        Write(kChanges, Flag(values.changes)),
        Write(kKeepFreeMiB, values.keepFreeMiB),
        Write(kMaxFileMiB, values.maxFileMiB),
        Write(kRootDirectory, values.homePage),
        Write(kSiteLocation, values.thisComputer ? "Local" : "Redir"),
        Write(kPort, values.port),
        Write(kListen, values.listen),
        Write(kAnnounce, Flag(values.announce)),
        Write(kHttpsPort, values.httpsPort),
        Write(kCertificateFile, values.certificateFile),
        Write(kKeyFile, values.keyFile),
        Write(kRedirectToHttps, Flag(values.redirectToHttps)),
    };
    for (const auto& [code, file] : values.errorPages) {
        for (const config::ErrorPageSetting& page : config::ErrorPageSettings()) {
            if (code == page.code) {
                writes.push_back(Write(*page.key, file));
            }
        }
    }
    const std::vector<config::SettingWrite> rest = {
        Write(kContentExpires, Flag(values.contentExpires)),
        Write(kInterval, values.expireAfter ? "After" : "Immediate"),
        Write(kDuration, values.duration),
        Write(kIntervalType, values.intervalType),
        Write(kCgiEnabled, FlagToWrite(kCgiEnabled, values.cgiEnabled, values.stored.cgiEnabled)),
        Write(kEnablePerl, FlagToWrite(kEnablePerl, values.enablePerl, values.stored.enablePerl)),
        Write(kPerlLocation, values.perlLocation),
        Write(kScriptTimeout, values.scriptTimeout),
        Write(kRebuildDefault, Flag(values.rebuildDefault)),
        Write(kRebuildMime, Flag(values.rebuildMime)),
        Write(kRebuildDirs, Flag(values.rebuildDirs)),
    };
    writes.insert(writes.end(), rest.begin(), rest.end());
    return writes;
}

bool IsRedirectTarget(const std::string& text) {
    const std::string_view url = config::TrimBlanks(text);
    size_t rest = 0;
    if (config::StartsWithIgnoringCase(url, "http://")) {
        rest = 7;
    } else if (config::StartsWithIgnoringCase(url, "https://")) {
        rest = 8;
    } else {
        return false;
    }
    // A host must follow, and a browser must be able to take the whole text.
    const std::string_view host = url.substr(rest, url.find_first_of("/?#", rest) - rest);
    if (host.empty() || host.front() == ':' || host.front() == '@') {
        return false;
    }
    return std::none_of(url.begin(), url.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '<' || c == '>' ||
               c == '\\' || c == 0x7f;
    });
}

}  // namespace quorvane::ui
