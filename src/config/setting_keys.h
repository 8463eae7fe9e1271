#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/settings_file.h"

namespace quorvane::config {

// How a value is read.
enum class SettingForm {
    kFlagEqualsOne,  // "0"/"1", on when its leading number is exactly 1
    kFlagNotZero,    // "0"/"1", on when its leading number is not 0
    kTruthWord,      // "True"/"False", on when it begins with "True"
    kChoice,         // one of a few words, told apart by a prefix
    kNumber,         // decimal text
    kText,           // a path, a URL or HTML, used as it stands
};

// One key of the settings file: where it lives, how it is read, and the value
// each side assumes while the key is absent. The server and the options
// dialog take their defaults from here, so they can only disagree where
// `whyDefaultsDiffer` says why.
struct SettingKey {
    std::string_view section;
    std::string_view key;
    SettingForm form;
    std::string_view serverDefault;
    std::string_view dialogDefault;
    std::string_view whyDefaultsDiffer;
    // A number's whole range, both ends included.
    long min = 0;
    long max = 0;
};

namespace setting {

// A key both sides read with the same default.
constexpr SettingKey Same(std::string_view section, std::string_view key, SettingForm form,
                          std::string_view fallback) {
    return {section, key, form, fallback, fallback, {}};
}

// A whole number from `min` to `max`, read alike by both sides.
constexpr SettingKey Number(std::string_view section, std::string_view key,
                            std::string_view fallback, long min, long max) {
    return {section, key, SettingForm::kNumber, fallback, fallback, {}, min, max};
}

// A key whose absence each side reads its own way, and why.
constexpr SettingKey Differs(std::string_view section, std::string_view key, SettingForm form,
                             std::string_view serverDefault, std::string_view dialogDefault,
                             std::string_view why) {
    return {section, key, form, serverDefault, dialogDefault, why};
}

using enum SettingForm;

inline constexpr SettingKey kPort = Number("Server", "Port", "80", 1, 65535);
// "Network", "Local", or an address or host name to listen on.
inline constexpr SettingKey kListen = Same("Server", "Listen", kChoice, "Network");
// The HTTPS port; 0 leaves HTTPS off.
inline constexpr SettingKey kHttpsPort = Number("Server", "HttpsPort", "0", 0, 65535);
// PEM files; with neither given, a self-signed certificate is made.
inline constexpr SettingKey kCertificateFile = Same("Server", "CertificateFile", kText, "");
inline constexpr SettingKey kKeyFile = Same("Server", "KeyFile", kText, "");
// Plain-HTTP requests are answered 301 to the same page over HTTPS.
inline constexpr SettingKey kRedirectToHttps =
    Same("Server", "RedirectToHttps", kFlagEqualsOne, "0");
// The running site is announced on the local network (mDNS/DNS-SD) unless
// only this computer can connect.
inline constexpr SettingKey kAnnounce = Same("Server", "Announce", kFlagEqualsOne, "1");

inline constexpr SettingKey kRootDirectory = Same("HomePage", "RootDirectory", kText, "www");
inline constexpr SettingKey kSiteLocation = Same("HomePage", "SiteLocation", kChoice, "Local");
inline constexpr SettingKey kSecure = Same("HomePage", "Secure", kFlagEqualsOne, "0");
inline constexpr SettingKey kScriptAllowed = Same("HomePage", "ScriptAllowed", kFlagNotZero, "0");
inline constexpr SettingKey kExeAllowed = Same("HomePage", "EXEAllowed", kFlagNotZero, "0");
// Visitors may add files and folders to the root folder; and overwrite,
// rename, move and delete there.
inline constexpr SettingKey kUploads = Same("HomePage", "Uploads", kFlagEqualsOne, "0");
inline constexpr SettingKey kChanges = Same("HomePage", "Changes", kFlagEqualsOne, "0");

inline constexpr SettingKey kEnableFooter =
    Differs("Documents", "EnableFooter", kFlagEqualsOne, "0", "1",
            "the dialog offers the footer switched on; the server adds none until it is saved");
inline constexpr SettingKey kFooterHtml =
    Differs("Documents", "FooterHTML", kText, "<p><b>Served By Quorvane2000</b>",
            "<b>This site is served by Quorvane2000</b>",
            "the dialog suggests its own footer text, which Update then stores");
inline constexpr SettingKey kDirectoryBrowsing =
    Same("Documents", "DirectoryBrowsing", kFlagEqualsOne, "0");
// "Classic", the plain table, or "Modern": sortable, searchable, with
// thumbnails, uploads and the folder as zip.
inline constexpr SettingKey kListingStyle = Same("Documents", "ListingStyle", kChoice, "Classic");

inline constexpr SettingKey kRefreshOnRun = Same("Logging", "RefreshOnRun", kTruthWord, "True");
inline constexpr SettingKey kRefreshOnStop = Same("Logging", "RefreshOnStop", kTruthWord, "False");
inline constexpr SettingKey kUserControlled =
    Same("Logging", "UserControlled", kTruthWord, "False");
// Past this many MiB the access log is moved to quorvane.log.1 and started
// anew; 0 lets it grow.
inline constexpr SettingKey kLogLimitMiB = Number("Logging", "MaxLogMiB", "64", 0, 1000000);

inline constexpr SettingKey k401Error = Same("ErrorPages", "401Error", kText, "401.htm");
inline constexpr SettingKey k404Error = Same("ErrorPages", "404Error", kText, "404.htm");
inline constexpr SettingKey k404_1Error = Same("ErrorPages", "404.1Error", kText, "4041.htm");
inline constexpr SettingKey k404_2Error = Same("ErrorPages", "404.2Error", kText, "4042.htm");
inline constexpr SettingKey k404_3Error = Same("ErrorPages", "404.3Error", kText, "4043.htm");
inline constexpr SettingKey k404_4Error = Same("ErrorPages", "404.4Error", kText, "4044.htm");

inline constexpr SettingKey kContentExpires = Same("Expire", "ContentExpires", kFlagEqualsOne, "0");
inline constexpr SettingKey kInterval = Same("Expire", "Interval", kChoice, "Immediate");
inline constexpr SettingKey kDuration = Same("Expire", "Duration", kNumber, "0");
inline constexpr SettingKey kIntervalType =
    Differs("Expire", "IntervalType", kChoice, "Days", "Minutes",
            "the dialog shows its own unit while the key is absent; expiry is off then anyway");

inline constexpr SettingKey kCgiEnabled = Same("CGI", "Enabled", kFlagNotZero, "0");
inline constexpr SettingKey kEnablePerl = Same("CGI", "EnablePerl", kFlagNotZero, "0");
inline constexpr SettingKey kPerlLocation = Same("CGI", "PerlLocation", kText, "/usr/bin/perl");
inline constexpr SettingKey kScriptTimeout = Number("CGI", "Timeout", "30", 1, 86400);

// An upload that would leave less free room on the disk than this is refused
// before its body is taken (507); a file larger than MaxFileMiB is refused
// (413), 0 for no such limit.
inline constexpr SettingKey kKeepFreeMiB = Number("Uploads", "KeepFreeMiB", "1024", 0, 1L << 40);
inline constexpr SettingKey kMaxFileMiB = Number("Uploads", "MaxFileMiB", "0", 0, 1L << 40);

inline constexpr SettingKey kMinimise = Same("StartUp", "Minimise", kTruthWord, "False");
inline constexpr SettingKey kAutoStart = Same("StartUp", "AutoStart", kTruthWord, "False");

inline constexpr SettingKey kRebuildDefault = Same("Fault", "RebuildDefault", kFlagEqualsOne, "0");
inline constexpr SettingKey kRebuildMime = Same("Fault", "RebuildMIME", kFlagEqualsOne, "0");
inline constexpr SettingKey kRebuildDirs = Same("Fault", "RebuildDIRS", kFlagEqualsOne, "0");

}  // namespace setting

// Every key above, in the order of the file's sections.
std::span<const SettingKey> AllSettings();

// The six error page keys with the code each names, in the dialog's order.
struct ErrorPageSetting {
    std::string_view code;
    const SettingKey* key;
};
std::span<const ErrorPageSetting> ErrorPageSettings();

// The value as the server reads it, and as the options dialog shows it.
std::string ServerValue(const Settings& settings, const SettingKey& key);
std::string DialogValue(const Settings& settings, const SettingKey& key);

// A number key's text when it is a whole number inside the key's range
// (blanks around it allowed); nothing otherwise.
std::optional<long> NumberIn(const SettingKey& key, std::string_view text);
// A number key as the server reads it: the stored value when it is a whole
// number in range, else the key's default.
long NumberValue(const Settings& settings, const SettingKey& key);

// A flag or truth word as the server tests it (the key's own form decides
// the test).
bool IsOn(const Settings& settings, const SettingKey& key);

// Whether a [Documents] ListingStyle value asks for the modern folder page
// (any letter case, blanks around it allowed); anything else is classic.
bool IsModernListing(std::string_view value);

SettingWrite Write(const SettingKey& key, std::string value);

}  // namespace quorvane::config
